# The stand-ins for the family's outside programs: qvuac, qvrunas and the toolbar client.
qv_test(standins_tests ${CMAKE_CURRENT_SOURCE_DIR}/standins_test.cpp DEPENDS qvuac qvrunas qvtbclient)
