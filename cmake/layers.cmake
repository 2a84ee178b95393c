# The layers, enforced by the build. Each top-level folder is a layer, and a
# target sees a folder's headers only when it links that layer's library:
# the library hands on, as its include path, a directory in the build tree
# that holds one symbolic link, named after the folder, to the folder alone.
# So `#include "host/shell.h"` in machine/ finds no such file, because the
# machine links no host library. Which layer may use which is the README's
# table; the libraries' links below say the same.
#
# Where symbolic links cannot be made (some Windows set-ups) every layer
# sees the whole tree instead, and only a build elsewhere (CI on Linux)
# checks the layers.
set(PELLUX_LAYER_ROOTS ${PROJECT_BINARY_DIR}/layers)

# pellux_layer(TARGET FOLDER): TARGET's folder, for TARGET and for whatever
# links it.
function(pellux_layer target folder)
  set(root ${PELLUX_LAYER_ROOTS}/${folder})
  get_property(whole GLOBAL PROPERTY PELLUX_LAYERS_UNCHECKED)
  if(NOT whole)
    file(MAKE_DIRECTORY ${root})
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${folder} ${root}/${folder} RESULT failed SYMBOLIC)
    if(failed)
      message(WARNING "No symbolic link can be made in the build tree (${failed}): every library sees "
                      "the whole source tree, and includes across the layers are not checked here.")
      set_property(GLOBAL PROPERTY PELLUX_LAYERS_UNCHECKED TRUE)
      set(whole TRUE)
    endif()
  endif()
  if(whole)
    set(root ${PROJECT_SOURCE_DIR})
  endif()
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "INTERFACE_LIBRARY")
    target_include_directories(${target} INTERFACE ${root})
  else()
    target_include_directories(${target} PUBLIC ${root})
  endif()
endfunction()
