# Ready-made monitoring files: the metrics service and timer where systemd looks for units, the
# alert rules and the Icinga/Nagios command definitions as examples to copy.
include(GNUInstallDirs)
set(_marlix_monitoring ${CMAKE_CURRENT_LIST_DIR})
install(FILES ${_marlix_monitoring}/marlix-sqa-metrics.service ${_marlix_monitoring}/marlix-sqa-metrics.timer
        DESTINATION lib/systemd/system)
install(FILES ${_marlix_monitoring}/marlix-sqa-alerts.yml ${_marlix_monitoring}/marlix-sqa-command.conf
              ${_marlix_monitoring}/marlix-sqa-commands.cfg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/marlix-sqa/monitoring)
