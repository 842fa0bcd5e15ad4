# Run at install time (install(SCRIPT)): makes the service units of the
# resident kitchen printers for the prefix being installed to, and installs
# them with the environment file they read. file(INSTALL) puts $DESTDIR in
# front of its destinations itself, as for every other install rule.
#
# In: CMAKE_INSTALL_PREFIX (the install's prefix), PINK_UNIT_SOURCES (the
# templates), PINK_UNIT_STAGE (a build folder for the made units).

# /usr keeps its configuration in /etc; any other prefix in <prefix>/etc.
if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
  set(PINK_SYSCONFDIR /etc)
else()
  set(PINK_SYSCONFDIR ${CMAKE_INSTALL_PREFIX}/etc)
endif()
set(PINK_BINDIR ${CMAKE_INSTALL_PREFIX}/bin)
set(PINK_ENVFILE ${PINK_SYSCONFDIR}/pink/kitchen.env)

# One staging folder per destination: installs into several prefixes at
# once do not share one.
string(MD5 stage_id "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
set(PINK_UNIT_STAGE ${PINK_UNIT_STAGE}/${stage_id})
file(REMOVE_RECURSE ${PINK_UNIT_STAGE})
foreach(scope system user)
  file(GLOB templates ${PINK_UNIT_SOURCES}/${scope}/*.in)
  foreach(t IN LISTS templates)
    get_filename_component(name ${t} NAME)
    string(REGEX REPLACE "\\.in$" "" name "${name}")
    configure_file(${t} ${PINK_UNIT_STAGE}/${scope}/${name} @ONLY)
  endforeach()
  file(INSTALL ${PINK_UNIT_STAGE}/${scope}/
    DESTINATION "${CMAKE_INSTALL_PREFIX}/lib/systemd/${scope}"
    FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
endforeach()

# The environment file is the administrator's once installed: an install
# over an existing one leaves it as it is.
if(NOT EXISTS "$ENV{DESTDIR}${PINK_ENVFILE}")
  file(INSTALL ${PINK_UNIT_SOURCES}/kitchen.env
    DESTINATION "${PINK_SYSCONFDIR}/pink"
    FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
endif()
