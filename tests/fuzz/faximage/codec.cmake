# Fuzz targets for the MH, MR and MMR page decoders: decode, code again, decode again.
tolvane_fuzzer(fuzz_mr_decoder SOURCES ${CMAKE_CURRENT_LIST_DIR}/FuzzMrDecoder.cpp DEPS tolvane_faximage)
tolvane_fuzzer(fuzz_mmr_decoder SOURCES ${CMAKE_CURRENT_LIST_DIR}/FuzzMmrDecoder.cpp DEPS tolvane_faximage)
tolvane_fuzzer(fuzz_mh_page_decoder SOURCES ${CMAKE_CURRENT_LIST_DIR}/FuzzMhPageDecoder.cpp DEPS tolvane_faximage)
