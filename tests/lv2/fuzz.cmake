# The LV2 module, driven through lv2_descriptor alone, in the fuzz build.
if(TARGET lv2_module)
  quill_fuzz_target(lv2 ${CMAKE_CURRENT_LIST_DIR}/lv2_fuzzer.cpp lv2_module)
  target_link_libraries(fuzz_lv2 PRIVATE PkgConfig::LV2)
endif()
