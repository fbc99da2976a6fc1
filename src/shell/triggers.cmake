# rondix_triggers: frontmost app, input permission, global hotkey, mouse trigger.
add_library(rondix_triggers STATIC
  ${CMAKE_CURRENT_LIST_DIR}/ActiveAppSensor.cpp ${CMAKE_CURRENT_LIST_DIR}/ActiveAppSensor.h
  ${CMAKE_CURRENT_LIST_DIR}/AccessibilityPermissionManager.cpp ${CMAKE_CURRENT_LIST_DIR}/AccessibilityPermissionManager.h
  ${CMAKE_CURRENT_LIST_DIR}/SavedHotkey.cpp ${CMAKE_CURRENT_LIST_DIR}/SavedHotkey.h
  ${CMAKE_CURRENT_LIST_DIR}/HotkeyManager.cpp ${CMAKE_CURRENT_LIST_DIR}/HotkeyManager.h
  ${CMAKE_CURRENT_LIST_DIR}/MouseTriggerManager.cpp ${CMAKE_CURRENT_LIST_DIR}/MouseTriggerManager.h
)
target_link_libraries(rondix_triggers PUBLIC rondix_platform rondix_l10n rondix_common Qt6::Gui)
