# Shared by ./test.sh and ./play.sh (sourced): configures a build folder with Ninja.
#   configure_build <folder> <cmake options...>
configure_build() {
  local dir="$1"
  shift
  # A folder configured by another generator cannot be reused: start it afresh.
  if [ -f "$dir/CMakeCache.txt" ] && ! grep -q '^CMAKE_GENERATOR:INTERNAL=Ninja$' "$dir/CMakeCache.txt"; then
    echo "Build folder $dir was made with another generator: configuring it afresh"
    rm -rf "$dir"
  fi
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
}
