# Small tools for the scripts that drive the programs (screenshots).
add_executable(qvpress ${CMAKE_CURRENT_SOURCE_DIR}/tools/qvpress.cpp)
target_compile_options(qvpress PRIVATE ${QV_WARNINGS})
target_link_libraries(qvpress PRIVATE user32 comctl32)
