# Ready-made monitoring files: the metrics service and timer where systemd looks for units, the
# alert rules and the Icinga/Nagios command definitions as examples to copy. The files that run the
# program name it where it is installed, under the prefix of the install (cmake --install --prefix
# DIR), so they are written when installing.
include(GNUInstallDirs)
set(_marlix_monitoring ${CMAKE_CURRENT_LIST_DIR})
set(_marlix_monitoring_out ${CMAKE_BINARY_DIR}/monitoring)
install(CODE "
  if(IS_ABSOLUTE \"${CMAKE_INSTALL_BINDIR}\")
    set(MARLIX_SQA_CLI \"${CMAKE_INSTALL_BINDIR}/marlix-sqa-cli\")
  else()
    set(MARLIX_SQA_CLI \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/marlix-sqa-cli\")
  endif()
  foreach(file marlix-sqa-metrics.service marlix-sqa-command.conf marlix-sqa-commands.cfg)
    configure_file(\"${_marlix_monitoring}/\${file}.in\" \"${_marlix_monitoring_out}/\${file}\" @ONLY)
  endforeach()
")
install(FILES ${_marlix_monitoring_out}/marlix-sqa-metrics.service ${_marlix_monitoring}/marlix-sqa-metrics.timer
        DESTINATION lib/systemd/system)
install(FILES ${_marlix_monitoring}/marlix-sqa-alerts.yml ${_marlix_monitoring_out}/marlix-sqa-command.conf
              ${_marlix_monitoring_out}/marlix-sqa-commands.cfg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/marlix-sqa/monitoring)
