# libFuzzer targets for the picture decoders (fuzz preset only). Run, for example:
#   build-fuzz/bin/fuzz_png_decoder -max_total_time=180 <scratch corpus> tests/fuzz/corpus/png
foreach(decoder Png Gif)
  string(TOLOWER ${decoder} lower)
  add_executable(fuzz_${lower}_decoder ${CMAKE_CURRENT_LIST_DIR}/Fuzz${decoder}Decoder.cpp)
  target_link_libraries(fuzz_${lower}_decoder PRIVATE tm_resources tm_warnings)
  target_link_options(fuzz_${lower}_decoder PRIVATE -fsanitize=fuzzer)
endforeach()
