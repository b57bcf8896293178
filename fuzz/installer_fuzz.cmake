zav_add_fuzz_target(installer_paths SOURCES installer_paths_fuzz.cpp LIBS zav::zavinstaller_core)
target_include_directories(installer_paths_fuzz PRIVATE ${PROJECT_SOURCE_DIR})
