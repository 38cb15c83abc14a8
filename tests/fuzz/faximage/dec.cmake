# Fuzz targets for the unpacker: whole APF files, and the table-driven
# decoder against the reference tree walker.
tolvane_fuzzer(fuzz_unpack_apf SOURCES ${CMAKE_CURRENT_LIST_DIR}/FuzzUnpackApf.cpp DEPS tolvane_faximage)
tolvane_fuzzer(fuzz_unpack_decoders SOURCES ${CMAKE_CURRENT_LIST_DIR}/FuzzUnpackDecoders.cpp DEPS tolvane_faximage)
