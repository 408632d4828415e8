# cmake -P make_zip.cmake: lays out the Windows zip and packs it.
#   -DZIP=<out.zip> -DTOP=<folder name inside the zip> -DWORK=<scratch folder>
#   -DBIN_DIR=<tarnix.dll, tarnix-host.exe, VLQAPI.dll, libsndfile-1.dll> -DSTAGE_DIR=<texts>
#   -DDOC_DIR=<user-guide.md and its pictures/>
# The simulated board library goes into boardsim/, never beside the driver,
# so that nobody takes it for the maker's VLQAPI.dll; the libsndfile DLL it
# loads (and that library's licence) go with it.
file(REMOVE_RECURSE ${WORK})
set(root ${WORK}/${TOP})
file(MAKE_DIRECTORY ${root}/boardsim)
file(COPY ${BIN_DIR}/tarnix.dll ${BIN_DIR}/tarnix-host.exe
          ${STAGE_DIR}/README.txt ${STAGE_DIR}/LICENSE.txt DESTINATION ${root})
file(COPY ${BIN_DIR}/VLQAPI.dll ${BIN_DIR}/libsndfile-1.dll ${STAGE_DIR}/boardsim/README.txt
          ${STAGE_DIR}/boardsim/libsndfile-LICENSE.txt DESTINATION ${root}/boardsim)
file(COPY ${DOC_DIR}/user-guide.md DESTINATION ${root}/doc)
file(COPY ${DOC_DIR}/pictures DESTINATION ${root}/doc FILES_MATCHING PATTERN "*.png")
get_filename_component(zip_dir ${ZIP} DIRECTORY)
file(MAKE_DIRECTORY ${zip_dir})
file(REMOVE ${ZIP})
execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${ZIP} --format=zip ${TOP}
                WORKING_DIRECTORY ${WORK} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "packing ${ZIP} failed: ${status}")
endif()
