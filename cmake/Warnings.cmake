# Warnings every target of ours is built with.
add_library(zuzavezu_warnings INTERFACE)
target_compile_options(zuzavezu_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wold-style-cast
  -Wcast-align -Woverloaded-virtual -Wimplicit-fallthrough
  # GCC 12 reports std::string concatenation in optimised builds as overlapping copies
  # (a known false positive, GCC bug 105651).
  -Wno-restrict)
