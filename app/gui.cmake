# The Qt 6 program: the library `vrngui` (everything but main(), linked by the GUI tests too) and the
# executable `vrnrcvr`. Included from app/CMakeLists.txt, so vrngui exists before config/ adds its
# dialogs to it. The views and resources are globbed here; views/ and res/ need no CMakeLists.
file(GLOB _gui_sources CONFIGURE_DEPENDS
    ${CMAKE_SOURCE_DIR}/app/*.cpp ${CMAKE_SOURCE_DIR}/app/*.h
    ${CMAKE_SOURCE_DIR}/views/*.cpp ${CMAKE_SOURCE_DIR}/views/*.h
    ${CMAKE_SOURCE_DIR}/res/*.cpp ${CMAKE_SOURCE_DIR}/res/*.h)
# The core parts of app/ (listed in app/CMakeLists.txt) build into vrncore; main() is the program's.
list(FILTER _gui_sources EXCLUDE REGEX "/app/(CoreServices|CTraceFile|main)\\.(cpp|h)$")

add_library(vrngui STATIC ${_gui_sources})
target_include_directories(vrngui PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(vrngui PUBLIC vrncore Qt6::Widgets PRIVATE vrn_warnings)
# Core headers may use `signals`, `slots` and `emit` as plain names: Qt code says Q_SIGNALS etc.
target_compile_definitions(vrngui PUBLIC QT_NO_KEYWORDS)

add_executable(vrnrcvr ${CMAKE_SOURCE_DIR}/app/main.cpp)
target_link_libraries(vrnrcvr PRIVATE vrngui vrn_warnings)
set_target_properties(vrnrcvr PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})

include(GNUInstallDirs)
install(TARGETS vrnrcvr RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_SOURCE_DIR}/res/vrnrcvr.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/res/vrnrcvr.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# sim/ and tools/ come after app/: link the simulated receiver (demo mode) and install the tools
# once every folder has been read.
function(vrn_finish_gui)
    if(TARGET vrnsim)
        target_link_libraries(vrngui PUBLIC vrnsim)
        target_compile_definitions(vrngui PUBLIC VRN_HAVE_SIM=1)
    endif()
    foreach(tool vrnrcvr-replay vrnrcvr-sim)
        if(TARGET ${tool})
            install(TARGETS ${tool} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
        endif()
    endforeach()
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL vrn_finish_gui)
