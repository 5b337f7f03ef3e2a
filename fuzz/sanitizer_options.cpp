// AddressSanitizer's defaults for every fuzz target: a small quarantine keeps freed memory in the
// cache instead of faulting in fresh pages each run (most of a run's time otherwise), and freed
// blocks are still poisoned long enough to catch a use after free within one input. Blocks are
// not filled on allocation: the targets read nothing they did not write.
extern "C" const char* __asan_default_options() {
  return "quarantine_size_mb=16:max_malloc_fill_size=0";
}
