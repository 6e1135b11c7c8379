# Fails unless the public header and the C# binding declare the same exports.
# Arguments: HEADER (include/sceneapi_cs_wrapper.h), BINDING (Native.cs).

function(names_in file pattern out)
    file(STRINGS ${file} lines REGEX "${pattern}")
    set(names "")
    foreach(line IN LISTS lines)
        string(REGEX MATCH "${pattern}" unused "${line}")
        list(APPEND names ${CMAKE_MATCH_1})
    endforeach()
    list(SORT names)
    set(${out} ${names} PARENT_SCOPE)
endfunction()

names_in(${HEADER} "SCENEAPI_EXPORT [A-Za-z_ ]+[ *]([A-Za-z_][A-Za-z0-9_]*)\\(" header_names)
names_in(${BINDING} "static extern [A-Za-z_ ]+[ *]([A-Za-z_][A-Za-z0-9_]*)\\(" binding_names)

set(only_header ${header_names})
list(REMOVE_ITEM only_header ${binding_names})
set(only_binding ${binding_names})
list(REMOVE_ITEM only_binding ${header_names})
list(LENGTH header_names count)
if(only_header OR only_binding OR count EQUAL 0)
    message(FATAL_ERROR "header and binding disagree\n"
        "  only in the header (${HEADER}): ${only_header}\n"
        "  only in the binding (${BINDING}): ${only_binding}")
endif()
message(STATUS "header and binding declare the same ${count} exports")
