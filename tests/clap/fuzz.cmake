# The CLAP module through clap_entry, driven by the CLAP side of the host library.
quill_fuzz_target(clap ${CMAKE_CURRENT_LIST_DIR}/clap_fuzzer.cpp clap_module)
target_link_libraries(fuzz_clap PRIVATE clap_host)
