# Under Wine the time zone comes from TZ when the program starts: one run of the time-zone test
# per zone, west, east and on UTC.
if(WIN32)
  foreach(zone "UTC0=0" "EST5EDT,M3.2.0,M11.1.0=300" "JST-9=-540" "<+0530>-5:30=-330")
    string(REGEX MATCH "^(.*)=(-?[0-9]+)$" matched "${zone}")
    set(tz "${CMAKE_MATCH_1}")
    set(diff "${CMAKE_MATCH_2}")
    add_test(NAME app.time_zone_${diff}
             COMMAND test_app --gtest_filter=SysInfo.TimeZoneDiffFollowsTheZoneTheProgramStartedIn)
    set_tests_properties(app.time_zone_${diff} PROPERTIES
      ENVIRONMENT "TZ=${tz};ZARN_EXPECTED_TIME_ZONE_DIFF=${diff}")
  endforeach()
endif()
