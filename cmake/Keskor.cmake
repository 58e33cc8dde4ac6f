# Helpers shared by every folder's CMakeLists: one library per folder, with the warning policy
# of our own code applied to it.

function(keskor_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Werror -Wno-missing-field-initializers)
endfunction()

# keskor_library(NAME <target> [DEPS <targets...>])
# Builds every .cpp of the calling folder (not its subfolders) into a static library whose
# include root is the repository, so headers are included as "core/shared/PassFile.h".
function(keskor_library)
    cmake_parse_arguments(ARG "" "NAME" "DEPS" ${ARGN})
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    file(GLOB headers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
    if(NOT sources)
        add_library(${ARG_NAME} INTERFACE)
        target_include_directories(${ARG_NAME} INTERFACE ${PROJECT_SOURCE_DIR})
        target_link_libraries(${ARG_NAME} INTERFACE ${ARG_DEPS})
        return()
    endif()
    add_library(${ARG_NAME} STATIC ${sources} ${headers})
    target_include_directories(${ARG_NAME} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${ARG_NAME} PUBLIC ${ARG_DEPS})
    keskor_warnings(${ARG_NAME})
endfunction()

# keskor_test(NAME <target> DIRS <folders under tests/...> DEPS <targets...> [SUPPORT <lib>])
# One GoogleTest executable built from the .cpp files of the listed test folders (not their
# subfolders, which mirror their own source folders and get their own executables). SUPPORT
# names the library with main() (keskor_test_support unless given).
function(keskor_test)
    cmake_parse_arguments(ARG "" "NAME;SUPPORT" "DIRS;DEPS" ${ARGN})
    if(NOT ARG_SUPPORT)
        set(ARG_SUPPORT keskor_test_support)
    endif()
    set(sources "")
    foreach(dir ${ARG_DIRS})
        file(GLOB found CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*.cpp)
        list(APPEND sources ${found})
    endforeach()
    if(NOT sources)
        return()
    endif()
    add_executable(${ARG_NAME} ${sources})
    target_link_libraries(${ARG_NAME} PRIVATE ${ARG_DEPS} ${ARG_SUPPORT})
    keskor_warnings(${ARG_NAME})
    gtest_discover_tests(${ARG_NAME}
        DISCOVERY_MODE PRE_TEST
        DISCOVERY_TIMEOUT 60
        PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QT_LOGGING_RULES=*.debug=false"
                   TIMEOUT 120)
endfunction()
