# The VST3 bundle's module driven through GetPluginFactory by arbitrary host calls.
quill_fuzz_target(vst3 ${CMAKE_CURRENT_LIST_DIR}/vst3_fuzzer.cpp vst3_module)
target_link_libraries(fuzz_vst3 PRIVATE vst3_host)
