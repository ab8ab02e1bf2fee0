# jx_rapidjson: an interface target for RapidJSON's headers. The headers are
# found in the host's include folder; for cross builds only the rapidjson
# folder itself is exposed (through a link in the build tree) so that no other
# host header can shadow the target's own.
find_path(JX_RAPIDJSON_DIR rapidjson/document.h PATHS /usr/include /usr/local/include
          NO_CMAKE_FIND_ROOT_PATH REQUIRED)
set(jx_rapidjson_root ${PROJECT_BINARY_DIR}/rapidjson-include)
file(MAKE_DIRECTORY ${jx_rapidjson_root})
file(CREATE_LINK ${JX_RAPIDJSON_DIR}/rapidjson ${jx_rapidjson_root}/rapidjson SYMBOLIC)
add_library(jx_rapidjson INTERFACE)
target_include_directories(jx_rapidjson SYSTEM INTERFACE ${jx_rapidjson_root})
