#!/usr/bin/env bash
# The library as its users get it.
#   install_test.sh BUILD       a built Linux build folder: installs it into a
#     temporary prefix and builds and runs examples/consumer against it with
#     find_package and with pkg-config, and from the source tree with
#     add_subdirectory (which must make neither the tool nor the tests); runs
#     the installed mird-check; then makes the .deb with CPack, unpacks it and
#     builds and runs the consumer against the unpacked tree.
#   install_test.sh --zip BUILD a built Windows build folder: makes the .zip
#     and checks it holds the DLL, its import library and .def, the headers
#     and mird-check.exe.
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() {
  echo "install test: $*" >&2
  exit 1
}

# The files the package must hold, as paths below its top folder.
headers() {
  (cd "$source_dir/include" && find . -name '*.h' | sed 's|^\./|include/|' | sort)
}

if [[ ${1:-} == --zip ]]; then
  build=$(cd "$2" && pwd)
  nice -n 19 cpack --config "$build/CPackConfig.cmake" -B "$work" >/dev/null
  zip=$(ls "$work"/*.zip)
  mkdir "$work/unpacked"
  (cd "$work/unpacked" && cmake -E tar xf "$zip")
  top=$(ls -d "$work"/unpacked/*/)
  for path in bin/mird_check.dll lib/libmird_check.dll.a lib/mird_check.def bin/mird-check.exe \
    lib/cmake/mird_check/mird_checkConfig.cmake lib/pkgconfig/mird_check.pc $(headers); do
    [[ -f "$top/$path" ]] || fail "$(basename "$zip") lacks $path"
  done
  grep -qx "  jx_version" <(tr -d '\r' <"$top/lib/mird_check.def") || fail "the .def lists no jx_version"
  objdump=$(sed -n 's/^CMAKE_OBJDUMP:FILEPATH=//p' "$build/CMakeCache.txt")
  bash "$source_dir/cmake/check_exports.sh" "$top/bin/mird_check.dll" "$source_dir/cmake/exports.txt" \
    "$source_dir/include" - "$objdump" >/dev/null || fail "the packed DLL's export table is not the list"
  echo "install test: $(basename "$zip") holds the DLL, import library, .def, headers and mird-check.exe"
  exit 0
fi

build=$(cd "$1" && pwd)
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[[ -n "$version" ]] || fail "no project version in $build/CMakeCache.txt"
export CXXFLAGS="-Wall -Wextra -Werror"

# build_consumer NAME CMAKE_ARGS...: configures and builds examples/consumer
# in $work/NAME.
build_consumer() {
  local name=$1
  shift
  cmake -S "$source_dir/examples/consumer" -B "$work/$name" -DCMAKE_BUILD_TYPE=Release "$@" >"$work/$name.log" 2>&1 &&
    nice -n 19 cmake --build "$work/$name" -j1 --target consumer >>"$work/$name.log" 2>&1 ||
    { cat "$work/$name.log"; fail "the $name consumer did not build"; }
}

# run_consumer PROGRAM: runs a consumer; it checks its results itself.
run_consumer() {
  "$@" "$version" || fail "$1 failed"
}

# consume_prefix NAME PREFIX: find_package and pkg-config against PREFIX.
consume_prefix() {
  local name=$1 prefix=$2
  build_consumer "$name-cmake" -DCMAKE_PREFIX_PATH="$prefix"
  grep -q "$prefix/lib/libmird_check.so" "$work/$name-cmake/CMakeCache.txt" "$work/$name-cmake/CMakeFiles/consumer.dir/link.txt" ||
    fail "the $name find_package consumer does not link $prefix's library"
  run_consumer "$work/$name-cmake/consumer"

  local pc=(env PKG_CONFIG_PATH="$prefix/lib/pkgconfig" PKG_CONFIG_LIBDIR=/nonexistent pkg-config)
  [[ $("${pc[@]}" --modversion mird_check) == "$version" ]] || fail "mird_check.pc under $prefix: wrong version"
  # shellcheck disable=SC2046
  nice -n 19 c++ -std=c++17 $CXXFLAGS "$source_dir/examples/consumer/consumer.cpp" \
    $("${pc[@]}" --cflags --libs mird_check) -o "$work/$name-pc" || fail "the $name pkg-config consumer did not build"
  LD_LIBRARY_PATH=$("${pc[@]}" --variable=libdir mird_check) run_consumer "$work/$name-pc"
  echo "install test: $name: find_package and pkg-config consumers ran"
}

# Installed into a prefix.
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null
consume_prefix prefix "$prefix"
# The installed tool finds the installed library from its own folder.
loads_library() {
  "$1/bin/mird-check" --version | grep -qx "library    $1/lib/libmird_check.so $version\.[0-9]*" ||
    fail "$1/bin/mird-check --version did not load $1/lib/libmird_check.so"
}
loads_library "$prefix"
if readelf -d "$prefix"/lib/libmird_check.so.* | grep -qE 'R(UN)?PATH'; then
  fail "the installed library carries a run path"
fi

# From the source tree: the library alone.
build_consumer subdirectory -DMIRD_CHECK_SOURCE_DIR="$source_dir"
targets=$(cmake --build "$work/subdirectory" --target help)
grep -qw mird_check <<<"$targets" || fail "add_subdirectory made no mird_check target"
if grep -E 'mird-check|jx_static|_test|gtest' <<<"$targets"; then
  fail "add_subdirectory made the tool or test targets above"
fi
run_consumer "$work/subdirectory/consumer"
echo "install test: add_subdirectory consumer ran, without tool or test targets"

# The Debian package, unpacked.
nice -n 19 cpack --config "$build/CPackConfig.cmake" -B "$work/deb" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; fail "cpack failed"; }
deb=$(ls "$work"/deb/*.deb)
[[ $(dpkg-deb -f "$deb" Package) == mird-check ]] || fail "$deb: wrong package name"
[[ $(dpkg-deb -f "$deb" Version) == "$version" ]] || fail "$deb: wrong version"
grep -q libc6 <<<"$(dpkg-deb -f "$deb" Depends)" || fail "$deb: no dependency on libc6"
dpkg-deb -x "$deb" "$work/root"
for path in usr/bin/mird-check usr/lib/libmird_check.so.${version%%.*} $(headers | sed 's|^|usr/|'); do
  [[ -e "$work/root/$path" ]] || fail "$(basename "$deb") lacks /$path"
done
consume_prefix deb "$work/root/usr"
loads_library "$work/root/usr"
echo "install test: $(basename "$deb") unpacked and used"
