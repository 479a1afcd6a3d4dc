# Sourced by the peer scripts: the demo database with fur on its sphere only, grown to a hair
# count, and the command that runs Blender without a display. Needs source_dir, work (a
# temporary folder) and host (a vellimor-host); sets database.

# Blender draws through OpenGL even in the background: give it a display when there is none.
blender_run=(blender)
if [ -z "${DISPLAY:-}" ] && command -v xvfb-run >/dev/null; then
  blender_run=(xvfb-run -a -s "-screen 0 1280x720x24" blender)
fi

database=$work/furball
cp -r "$source_dir/examples/furball" "$database"

fur_settings() {  # FILE DENSITY -> the file's settings with that density
  sed "s/number_of_hairs_pr_square_unit = .*/number_of_hairs_pr_square_unit = $2/" "$1"
}
for surface in Ground Flag; do
  fur_settings "$database/fur/$surface.fur" 0 >"$work/$surface.fur"
  "$host" apply-fur -d "$database" -s furball "$work/$surface.fur" >/dev/null
done

sphere_area=11.9  # the sphere's area in hairs per unit of density, from the demo's own build
set_sphere_hairs() {  # COUNT: about COUNT hairs on the sphere
  fur_settings "$database/fur/Sphere.fur" "$(echo "$1 / $sphere_area" | bc)" >"$work/Sphere.fur"
  "$host" apply-fur -d "$database" -s furball "$work/Sphere.fur" >/dev/null
}
