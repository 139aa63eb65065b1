# The loopback sample server that stands in for the upload site (outside the system).
# The fixture "sampleserver" runs it natively for the length of a test run; its state
# folder (port, pid, sessions) is KV_SAMPLE_SERVER_DIR.
set(KV_SAMPLE_SERVER_DIR ${CMAKE_BINARY_DIR}/sampleserver)

# A Wine test that talks to the server: it needs the server fixture beside the wine one
# and finds the state folder in the environment.
function(kv_use_sample_server test)
  set_tests_properties(${test} PROPERTIES
      FIXTURES_REQUIRED "wine;sampleserver"
      ENVIRONMENT "KV_SAMPLE_SERVER_DIR=${KV_SAMPLE_SERVER_DIR}")
endfunction()
