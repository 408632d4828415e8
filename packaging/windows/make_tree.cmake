# cmake -P make_tree.cmake: lays out the files of a Windows package, as the
# zip and the installer carry them.
#   -DTREE=<folder to fill>
#   -DBIN_DIR=<tarnix.dll, tarnix-host.exe, VLQAPI.dll, libsndfile-1.dll>
#   -DSTAGE_DIR=<texts> -DDOC_DIR=<user-guide.md and its pictures/>
#   -DTHIRD_PARTY_DIR=<the third-party licence texts> -DEPOCH=<seconds>
# The simulated board library goes into boardsim/, never beside the driver,
# so that nobody takes it for the maker's VLQAPI.dll, with libsndfile-1.dll,
# which it loads (LGPL: a DLL of its own; its licence is in third-party/). Every file and folder
# is dated EPOCH (the commit's time): the installer keeps each file's date.
file(REMOVE_RECURSE ${TREE})
file(MAKE_DIRECTORY ${TREE}/boardsim)
file(COPY ${BIN_DIR}/tarnix.dll ${BIN_DIR}/tarnix-host.exe
          ${STAGE_DIR}/README.txt ${STAGE_DIR}/LICENSE.txt DESTINATION ${TREE})
file(COPY ${BIN_DIR}/VLQAPI.dll ${BIN_DIR}/libsndfile-1.dll ${STAGE_DIR}/boardsim/README.txt
          DESTINATION ${TREE}/boardsim)
file(COPY ${DOC_DIR}/user-guide.md DESTINATION ${TREE}/doc)
file(COPY ${DOC_DIR}/pictures DESTINATION ${TREE}/doc FILES_MATCHING PATTERN "*.png")
file(COPY ${THIRD_PARTY_DIR}/ DESTINATION ${TREE}/third-party)
file(GLOB_RECURSE entries LIST_DIRECTORIES true ${TREE}/*)
execute_process(COMMAND touch -h -d @${EPOCH} ${TREE} ${entries} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "dating the files of ${TREE} failed: ${status}")
endif()
