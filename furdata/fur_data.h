// The fur records' stored form in the scene: creating the records when a scene has been read
// and writing them back.
#pragma once

namespace vellimor {

// Creates the DisplaySettings record and one fur record per fur surface of the scene tables,
// restoring them from the surfaces' user data when with_user_data is non-zero, and applies the
// FUR_ switches (not when the scene has no fur surface).
void read_fur_data(int with_user_data);
// Stores every record, texture key, picture and curve as user data; saves the scene when
// save_scene is non-zero. Returns 0, or the host's code of the first step that failed.
int write_fur_data(int save_scene);

}  // namespace vellimor
