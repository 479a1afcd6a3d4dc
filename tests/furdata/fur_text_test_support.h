// Shared set-up of the fur data tests: status output into a message file of a temporary
// directory, and records with a distinct value in every field of the text file.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "furdata/field_bounds.h"
#include "furdata/fur_text_fields.h"
#include "furdata/patch_data.h"
#include "host/configuration.h"
#include "host/globals.h"
#include "host/status.h"
#include "support/test_env.h"

namespace vellimor::test {

class MessageFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        reset_globals();
        status_reset();
        run_state().run_mode = kRunModeStandAlone;
        env.set("TEMP", dir.path());
        open_message_file();
    }
    void TearDown() override {
        close_message_file();
        reset_globals();
    }
    std::string messages() const { return read_file(dir.path() + "/fur_message"); }
    std::string path(const std::string &name) const { return dir.path() + "/" + name; }
    void write(const std::string &name, const std::string &text) const {
        std::FILE *f = std::fopen(path(name).c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
    }

    ScopedEnv env;
    TempDir dir;
};

// Gives every field of the tables a value of its own, counting up from *next: integers n,
// shorts n, reals n + 0.25 (exact in six decimals); a count outside the field's range wraps
// around within it, so that the readers keep it.
template <class Record>
void fill_distinct(Record &record, std::span<const TextField<Record>> fields, int &next) {
    for (const TextField<Record> &f : fields) {
        const TextFieldRef ref = f.field(record);
        const FieldRange range = field_range(f.key, std::holds_alternative<float *>(ref));
        int n = next++;
        if (n < range.min || n > range.max) n = int(range.min) + n % int(range.max - range.min);
        if (auto *i = std::get_if<int *>(&ref)) {
            **i = n;
        } else if (auto *s = std::get_if<short *>(&ref)) {
            **s = static_cast<short>(n);
        } else {
            *std::get<float *>(ref) = static_cast<float>(n) + 0.25f;
        }
    }
}

// Expects equal values in every field of the tables; keys not read back compare with `fresh`.
template <class Record>
void expect_fields(Record &actual, Record &written, Record &fresh,
                   std::span<const TextField<Record>> fields) {
    for (const TextField<Record> &f : fields) {
        Record &expected = f.read_back ? written : fresh;
        const TextFieldRef a = f.field(actual), e = f.field(expected);
        if (auto *i = std::get_if<int *>(&a)) {
            EXPECT_EQ(**i, *std::get<int *>(e)) << f.key;
        } else if (auto *s = std::get_if<short *>(&a)) {
            EXPECT_EQ(**s, *std::get<short *>(e)) << f.key;
        } else {
            EXPECT_EQ(*std::get<float *>(a), *std::get<float *>(e)) << f.key;
        }
    }
}

}  // namespace vellimor::test
