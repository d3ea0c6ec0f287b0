# Every folder of Platform/, Libraries/ and Classes/ is one object library. Executables link the
# object files of whole layers, so that a class reached only by name (NSClassFromString) is never
# dropped by the linker, and folders of one layer may refer to each other freely.

# Precompiled headers (DX_PCH, on by default): cmake/Precompiled/Platform.h is compiled once, by the
# target DXPrecompiled, and reused by every folder, the simulator and the benchmarks; Tests.h likewise by
# DXPrecompiledTests for every test binary. Reuse needs the same compiler flags everywhere: hence the
# global -pthread in the top CMakeLists.txt, and GoogleTest's definitions on the tests' owner. A target
# with flags of its own (the fuzzers' -fsanitize=fuzzer) simply does not use them.
option(DX_PCH "Precompile the headers nearly every source includes" ON)
set(DX_PCH_DIR ${CMAKE_SOURCE_DIR}/cmake/Precompiled)

# dx_use_precompiled(target [Tests]): the target's sources start from the shared precompiled header.
function(dx_use_precompiled target)
    if(NOT DX_PCH)
        return()
    endif()
    set(kind "")
    if(ARGC GREATER 1)
        set(kind ${ARGV1})
    endif()
    set(owner DXPrecompiled${kind})
    if(NOT TARGET ${owner})
        add_library(${owner} OBJECT ${DX_PCH_DIR}/Precompiled.cpp)
        if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
            # Without its time stamp the header compiles to the same bytes each time: the compiler cache
            # hashes it, and hits again after a rebuild of the header.
            target_compile_options(${owner} PRIVATE "SHELL:-Xclang -fno-pch-timestamp")
        endif()
        if(kind STREQUAL "Tests")
            target_link_libraries(${owner} PRIVATE GTest::gtest)
            target_precompile_headers(${owner} PRIVATE ${DX_PCH_DIR}/Tests.h)
        else()
            target_precompile_headers(${owner} PRIVATE ${DX_PCH_DIR}/Platform.h)
        endif()
    endif()
    target_precompile_headers(${target} REUSE_FROM ${owner})
endfunction()

# The platform as an app on a phone sees it: every framework folder of Platform/ but the simulated
# device behind them (Platform/Device). It is a folder of links in the build tree, one per framework, so
# <UIKit/UIView.h> resolves there and <Device/SimPower.h> does not, however the include is written
# (#include_next, a name made by a macro, an .inl file). The app's layers and the simulator's operator and
# road compile against it; the platform, the device's set-up and the tests see all of Platform/. A
# framework folder added or removed is linked at the next configure.
set(DX_APP_PLATFORM_ROOT ${CMAKE_BINARY_DIR}/generated/AppPlatform)
file(MAKE_DIRECTORY ${DX_APP_PLATFORM_ROOT})
file(GLOB dx_linked LIST_DIRECTORIES true ${DX_APP_PLATFORM_ROOT}/*)
foreach(link ${dx_linked})
    file(REMOVE ${link}) # removes the link only, never what it points to
endforeach()
file(GLOB dx_frameworks LIST_DIRECTORIES true ${CMAKE_SOURCE_DIR}/Platform/*)
foreach(dir ${dx_frameworks})
    get_filename_component(name ${dir} NAME)
    if(IS_DIRECTORY ${dir} AND NOT name STREQUAL "Device")
        file(CREATE_LINK ${dir} ${DX_APP_PLATFORM_ROOT}/${name} SYMBOLIC)
    endif()
endforeach()

# dx_see_platform_as_app(target [dir...]): the target's include roots are the platform as an app sees it,
# the app's libraries and the app, and the folders given; the target's own folder is the first place a
# quoted include is looked for, as always.
function(dx_see_platform_as_app target)
    set_property(TARGET ${target} PROPERTY INCLUDE_DIRECTORIES ${DX_APP_PLATFORM_ROOT} ${CMAKE_SOURCE_DIR}/Libraries
                                                               ${CMAKE_SOURCE_DIR}/Classes ${ARGN})
endfunction()

function(dx_add_folder name layer)
    add_library(${name} OBJECT ${ARGN})
    set_property(GLOBAL APPEND PROPERTY DX_LAYER_${layer} ${name})
    dx_use_precompiled(${name})
    # The app and its libraries see the platform's frameworks, never the device behind them.
    if(layer STREQUAL "Libraries" OR layer STREQUAL "Classes")
        dx_see_platform_as_app(${name})
    endif()
endfunction()

# dx_link_layers(target Platform Libraries ...): links every folder of the named layers. A name that is
# a folder's own target (PlatformFoundation) links just that folder.
function(dx_link_layers target)
    foreach(layer ${ARGN})
        get_property(libs GLOBAL PROPERTY DX_LAYER_${layer})
        if(libs)
            target_link_libraries(${target} PRIVATE ${libs})
        elseif(TARGET ${layer})
            target_link_libraries(${target} PRIVATE ${layer})
        endif()
    endforeach()
    target_link_libraries(${target} PRIVATE Threads::Threads)
endfunction()

# dx_add_test(name LAYERS l1 l2 ... SOURCES s1 s2 ... [LABELS label ...] [SHARDS n | EACH]): one GoogleTest
# binary. LAYERS may also name single folders (PlatformFoundation), so that a binary compiles only what it
# tests. LABELS become the CTest labels of every test of the binary, and the binary joins the target
# `tests-<label>`: `threaded` marks the parts that share data between threads (run under the thread
# sanitizer too), and a build for one label builds only those binaries.
#
# How CTest runs it (docs/ci.md, "Whole binaries"):
#   - by default the binary runs whole, as one process and one CTest test, `<name>.All`; with SHARDS n,
#     as n processes and tests, `<name>.Shard<i>of<n>`, each running every n-th of its tests (GoogleTest's
#     sharding) so that a long binary does not hold up the end of a run. A test that leaves state behind
#     for the next one fails there, as it would in a second session of the app; a test a shard runs
#     costs no process start of its own. Such a CTest test has a limit of 300 s of its own.
#   - EACH: each test in its own process (gtest_discover_tests), named by the test: for binaries of few
#     long tests (the roads), which CTest then runs side by side and limits one by one.
#   - DX_TEST_EACH (off by default) runs every binary that way, to find a test that passes only after
#     others have run.
#
# With DX_TEST_SERVER (on by default) CTest runs each test through DXTestClient, which has the binary's
# test server fork the test's process from a binary that has already started (Tests/Support/TestServer.h):
# a sanitized binary of hundreds of megabytes costs a third of a CPU-second to start, more than many of
# its tests. Two tests per binary, `<name>.StartServer` and `<name>.StopServer`, bracket its tests.
option(DX_TEST_SERVER "Run each test in a process forked from its binary's test server" ON)
option(DX_TEST_EACH "Run every test of every test binary in a process of its own" OFF)
function(dx_add_test name)
    cmake_parse_arguments(T "EACH" "SHARDS" "LAYERS;SOURCES;LABELS" ${ARGN})
    if(T_SHARDS AND (T_EACH OR NOT T_SHARDS MATCHES "^[1-9][0-9]*$"))
        message(FATAL_ERROR "dx_add_test(${name}): SHARDS takes a count from 1, and not with EACH")
    endif()
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE DXTestSupport GTest::gtest GTest::gmock)
    dx_link_layers(${name} ${T_LAYERS})
    dx_use_precompiled(${name} Tests)
    set(properties "")
    if(T_LABELS)
        list(APPEND properties LABELS "${T_LABELS}")
    endif()
    if(DX_TEST_SERVER)
        set_property(TARGET ${name} PROPERTY CROSSCOMPILING_EMULATOR $<TARGET_FILE:DXTestClient>)
        add_dependencies(${name} DXTestClient)
        list(APPEND properties FIXTURES_REQUIRED ${name}.server)
        add_test(NAME ${name}.StartServer COMMAND DXTestClient --start $<TARGET_FILE:${name}>)
        add_test(NAME ${name}.StopServer COMMAND DXTestClient --stop $<TARGET_FILE:${name}>)
        set_tests_properties(${name}.StartServer PROPERTIES FIXTURES_SETUP ${name}.server)
        set_tests_properties(${name}.StopServer PROPERTIES FIXTURES_CLEANUP ${name}.server)
        if(T_LABELS)
            set_tests_properties(${name}.StartServer ${name}.StopServer PROPERTIES LABELS "${T_LABELS}")
        endif()
    endif()
    if(T_EACH OR DX_TEST_EACH)
        gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60 PROPERTIES ${properties})
    else()
        if(NOT T_SHARDS)
            set(T_SHARDS 1)
        endif()
        foreach(shard RANGE 1 ${T_SHARDS})
            if(T_SHARDS EQUAL 1)
                set(test ${name}.All)
            else()
                set(test ${name}.Shard${shard}of${T_SHARDS})
            endif()
            math(EXPR index "${shard} - 1")
            if(DX_TEST_SERVER)
                add_test(NAME ${test} COMMAND DXTestClient $<TARGET_FILE:${name}>)
            else()
                add_test(NAME ${test} COMMAND ${name})
            endif()
            # A cost that starts the shards before the short tests, after the longest roads.
            set_tests_properties(${test} PROPERTIES TIMEOUT 300 COST 15 ENVIRONMENT
                                 "GTEST_TOTAL_SHARDS=${T_SHARDS};GTEST_SHARD_INDEX=${index}")
            if(T_LABELS)
                set_tests_properties(${test} PROPERTIES LABELS "${T_LABELS}")
            endif()
            if(DX_TEST_SERVER)
                set_tests_properties(${test} PROPERTIES FIXTURES_REQUIRED ${name}.server)
            endif()
        endforeach()
    endif()
    foreach(label ${T_LABELS})
        if(NOT TARGET tests-${label})
            add_custom_target(tests-${label})
        endif()
        add_dependencies(tests-${label} ${name})
    endforeach()
endfunction()

# dx_test_limits(target MATCHING regex TIMEOUT seconds COST cost): the tests of `target` whose names match
# the regular expression get a time limit of their own, which ctest's --timeout (the limit of every other
# test) does not override, and a cost: ctest starts the costliest tests first, so that a long test does
# not start last and hold up the end of a run. The tests are listed only when ctest runs (PRE_TEST
# discovery), so a script that ctest reads after the list sets the properties. Call it after dx_add_test,
# in the same folder; a test that several calls match takes the last.
function(dx_test_limits target)
    cmake_parse_arguments(L "" "MATCHING;TIMEOUT;COST" "" ${ARGN})
    if(NOT L_MATCHING OR NOT L_TIMEOUT OR NOT L_COST)
        message(FATAL_ERROR "dx_test_limits(${target}) needs MATCHING, TIMEOUT and COST")
    endif()
    string(MD5 key "${L_MATCHING}")
    set(script ${CMAKE_CURRENT_BINARY_DIR}/${target}_limits_${key}.cmake)
    file(WRITE ${script}
         "foreach(name IN LISTS ${target}_TESTS)\n"
         "    if(name MATCHES [==[${L_MATCHING}]==])\n"
         "        set_tests_properties(\"\${name}\" PROPERTIES TIMEOUT ${L_TIMEOUT} COST ${L_COST})\n"
         "    endif()\n"
         "endforeach()\n")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${script})
endfunction()

function(dx_add_benchmark name)
    cmake_parse_arguments(B "" "" "LAYERS;SOURCES" ${ARGN})
    add_executable(${name} ${B_SOURCES})
    target_link_libraries(${name} PRIVATE benchmark::benchmark benchmark::benchmark_main)
    dx_link_layers(${name} ${B_LAYERS})
    dx_use_precompiled(${name})
endfunction()

# dx_optimized_sources(file ...): sources whose loops run over every pixel or sample (the simulated
# camera, image blurs, movie frames) compile with -O2 in every build type. Unoptimised, such a loop
# calls a function for each element access and dominates every test that looks through a camera; the
# sanitizers instrument optimised code all the same. These files do without the precompiled header,
# which was compiled without optimisation. Call it in the folder that lists the files.
function(dx_optimized_sources)
    set_source_files_properties(${ARGN} PROPERTIES COMPILE_OPTIONS "-O2" SKIP_PRECOMPILE_HEADERS ON)
endfunction()
