# Warnings every target of ours is built with.
add_library(zuzavezu_warnings INTERFACE)
target_compile_options(zuzavezu_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wold-style-cast
  -Wcast-align -Woverloaded-virtual -Wimplicit-fallthrough
  # GCC 12 reports std::string concatenation in optimised builds as overlapping copies
  # (a known false positive, GCC bug 105651).
  -Wno-restrict)

# Every user of standalone Asio compiles it alike. Asio decides between aligned_alloc and
# operator new by whether a C++ library header came first; fixing the choice keeps all
# translation units in agreement.
add_library(zuzavezu_asio INTERFACE)
target_compile_definitions(zuzavezu_asio INTERFACE ASIO_STANDALONE ASIO_NO_DEPRECATED ASIO_DISABLE_STD_ALIGNED_ALLOC)
