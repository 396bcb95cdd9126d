# Fails the configuration when a library links against the layers: a core library that reaches
# Gui, Widgets, the PDF writer or a front end, the command line that reaches a widget or window, or the GUI that reaches
# the command line. scripts/check-layers.sh checks the includes; this checks what is linked,
# through every library in between.

# Sets OUT to every target that TARGET links, directly or through others.
function(brettholm_linked_targets target out)
    set(seen "")
    set(pending ${target})
    while(pending)
        list(POP_FRONT pending current)
        if(NOT TARGET ${current})
            continue()
        endif()
        get_target_property(aliased ${current} ALIASED_TARGET)
        if(aliased)
            set(current ${aliased})
        endif()
        if(current IN_LIST seen)
            continue()
        endif()
        list(APPEND seen ${current})
        get_target_property(imported ${current} IMPORTED)
        get_target_property(type ${current} TYPE)
        set(links "")
        if(NOT imported AND NOT type STREQUAL "INTERFACE_LIBRARY")
            get_target_property(links ${current} LINK_LIBRARIES)
        endif()
        get_target_property(interface_links ${current} INTERFACE_LINK_LIBRARIES)
        foreach(link IN LISTS links interface_links)
            # A link inside a generator expression ($<LINK_ONLY:...>, $<BUILD_INTERFACE:...>,
            # one for a platform) counts as linked whatever its condition, so that no condition
            # hides a link against the layers.
            string(REGEX MATCHALL "[A-Za-z0-9_.+-]+(::[A-Za-z0-9_.+-]+)*" names "${link}")
            foreach(name IN LISTS names)
                if(TARGET ${name})
                    list(APPEND pending ${name})
                endif()
            endforeach()
        endforeach()
    endwhile()
    set(${out} ${seen} PARENT_SCOPE)
endfunction()

function(brettholm_forbid_links target)
    brettholm_linked_targets(${target} linked)
    foreach(forbidden IN LISTS ARGN)
        if(forbidden IN_LIST linked)
            message(FATAL_ERROR "${target} links ${forbidden} against the layers")
        endif()
    endforeach()
endfunction()

set(brettholm_widgets Qt6::Gui Qt6::Widgets)
foreach(core IN ITEMS brettholm_base brettholm_host brettholm_settings brettholm_export)
    brettholm_forbid_links(${core} ${brettholm_widgets} brettholm_print brettholm_cli brettholm_ui
                           brettholm_app)
endforeach()
# The PDF writer needs Gui's text layout, never a widget; through it alone the command line
# reaches Gui.
brettholm_forbid_links(brettholm_print Qt6::Widgets brettholm_cli brettholm_ui brettholm_app)
foreach(cli IN ITEMS brettholm_cli brettholm32-export)
    brettholm_forbid_links(${cli} Qt6::Widgets brettholm_ui brettholm_app)
endforeach()
brettholm_forbid_links(brettholm_ui brettholm_cli brettholm_app)
foreach(gui IN ITEMS brettholm_app brettholm32)
    brettholm_forbid_links(${gui} brettholm_cli)
endforeach()
