# Seeds: small cabinets made by gcab, stored and MSZIP, with a folder level.
add_custom_command(
  OUTPUT ${corpus}/seed-stored.cab ${corpus}/seed-mszip.cab
  COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/cab_extract_fuzz.seeds.sh ${corpus}
  DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/cab_extract_fuzz.seeds.sh
  COMMENT "Seeding the corpus of cab_extract_fuzz with gcab cabinets")
add_custom_target(cab_extract_fuzz_seeds ALL
  DEPENDS ${corpus}/seed-stored.cab ${corpus}/seed-mszip.cab)
