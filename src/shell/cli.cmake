# The "rondix ring ..." and "rondix market ..." command lines. Runs before any GUI object exists, so it
# depends on the model only.
add_library(rondix_cli STATIC
  ${CMAKE_CURRENT_LIST_DIR}/RingCommand.cpp ${CMAKE_CURRENT_LIST_DIR}/RingCommand.h
  ${CMAKE_CURRENT_LIST_DIR}/MarketCommand.cpp ${CMAKE_CURRENT_LIST_DIR}/MarketCommand.h
)
target_link_libraries(rondix_cli PUBLIC Qt6::Core Qt6::DBus rondix_model rondix_market PRIVATE rondix_common)
