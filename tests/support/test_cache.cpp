// Linked into every test: the day store of the test and of every program it runs lies in the build
// tree, never in the user's cache, however the test is started.
#include <cstdlib>

namespace {

const bool kCacheInBuildTree = [] { return ::setenv("XDG_CACHE_HOME", MARLIX_TEST_CACHE_DIR, 1) == 0; }();

}  // namespace
