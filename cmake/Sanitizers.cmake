# ZUZAVEZU_SANITIZE applies to every target of the tree, tests included, so that a fault in any
# layer is caught where it happens. -O1 keeps sanitized test runs quick.
if(ZUZAVEZU_SANITIZE)
  set(_flags -fsanitize=${ZUZAVEZU_SANITIZE} -fno-omit-frame-pointer -g -O1)
  if(ZUZAVEZU_SANITIZE MATCHES "undefined")
    list(APPEND _flags -fno-sanitize-recover=undefined)
  endif()
  add_compile_options(${_flags})
  add_link_options(-fsanitize=${ZUZAVEZU_SANITIZE})
endif()
