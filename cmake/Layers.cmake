# Every folder of Platform/, Libraries/ and Classes/ is one object library. Executables link the
# object files of whole layers, so that a class reached only by name (NSClassFromString) is never
# dropped by the linker, and folders of one layer may refer to each other freely.

function(dx_add_folder name layer)
    add_library(${name} OBJECT ${ARGN})
    set_property(GLOBAL APPEND PROPERTY DX_LAYER_${layer} ${name})
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

# dx_add_test(name LAYERS l1 l2 ... SOURCES s1 s2 ... [LABELS label ...]): one GoogleTest binary; each test
# runs in its own process through CTest. LAYERS may also name single folders (PlatformFoundation), so that
# a binary compiles only what it tests. LABELS become the CTest labels of every test of the binary, and
# the binary joins the target `tests-<label>`: `threaded` marks the parts that share data between threads
# (run under the thread sanitizer too), and a build for one label builds only those binaries.
function(dx_add_test name)
    cmake_parse_arguments(T "" "" "LAYERS;SOURCES;LABELS" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE DXTestSupport GTest::gtest GTest::gmock)
    dx_link_layers(${name} ${T_LAYERS})
    if(T_LABELS)
        gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60 PROPERTIES LABELS "${T_LABELS}")
        foreach(label ${T_LABELS})
            if(NOT TARGET tests-${label})
                add_custom_target(tests-${label})
            endif()
            add_dependencies(tests-${label} ${name})
        endforeach()
    else()
        gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60)
    endif()
endfunction()

function(dx_add_benchmark name)
    cmake_parse_arguments(B "" "" "LAYERS;SOURCES" ${ARGN})
    add_executable(${name} ${B_SOURCES})
    target_link_libraries(${name} PRIVATE benchmark::benchmark benchmark::benchmark_main)
    dx_link_layers(${name} ${B_LAYERS})
endfunction()
