# One static library per layer. A layer names only the layers below it in DEPENDS, so code that
# calls upwards fails to link.
#
#   zuzavezu_layer(<name> SOURCES ... [DEPENDS <lower layers and libraries> ...])
#
# Headers are included with the layer's folder: #include "platform/Streams.h".
function(zuzavezu_layer name)
  cmake_parse_arguments(LAYER "" "" "SOURCES;DEPENDS" ${ARGN})
  add_library(zz_${name} STATIC ${LAYER_SOURCES})
  target_include_directories(zz_${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(zz_${name} PUBLIC ${LAYER_DEPENDS} PRIVATE zuzavezu_warnings)
  set_target_properties(zz_${name} PROPERTIES POSITION_INDEPENDENT_CODE ON)
endfunction()

# A test program per layer, discovered by CTest test by test. LABELS tag its tests (the
# ThreadSanitizer build runs those labelled "tsan"); QT_MAIN gives it a Qt event loop.
function(zuzavezu_test name)
  cmake_parse_arguments(TEST "QT_MAIN" "" "SOURCES;DEPENDS;LABELS" ${ARGN})
  add_executable(${name} ${TEST_SOURCES})
  if(TEST_QT_MAIN)
    set(main zz_qt_test_main)
  else()
    set(main GTest::gtest_main)
  endif()
  target_link_libraries(${name} PRIVATE ${TEST_DEPENDS} GTest::gtest GTest::gmock ${main} zuzavezu_warnings)
  if(TEST_LABELS)
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES LABELS "${TEST_LABELS}")
    if("tsan" IN_LIST TEST_LABELS)
      set_property(GLOBAL APPEND PROPERTY ZUZAVEZU_TSAN_TESTS ${name})
    endif()
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60)
  endif()
endfunction()
