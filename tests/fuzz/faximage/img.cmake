# Fuzz targets for the APF header reader and every converter input reader.
tolvane_fuzzer(fuzz_apf_reader SOURCES ${CMAKE_CURRENT_LIST_DIR}/FuzzApfReader.cpp DEPS tolvane_faximage)
tolvane_fuzzer(fuzz_bmp_reader SOURCES ${CMAKE_CURRENT_LIST_DIR}/FuzzBmpReader.cpp DEPS tolvane_faximage)
tolvane_fuzzer(fuzz_tiff_reader SOURCES ${CMAKE_CURRENT_LIST_DIR}/FuzzTiffReader.cpp DEPS tolvane_faximage)
tolvane_fuzzer(fuzz_pcx_reader SOURCES ${CMAKE_CURRENT_LIST_DIR}/FuzzPcxReader.cpp DEPS tolvane_faximage)
tolvane_fuzzer(fuzz_dcx_reader SOURCES ${CMAKE_CURRENT_LIST_DIR}/FuzzDcxReader.cpp DEPS tolvane_faximage)
tolvane_fuzzer(fuzz_text_reader SOURCES ${CMAKE_CURRENT_LIST_DIR}/FuzzTextReader.cpp DEPS tolvane_faximage)
