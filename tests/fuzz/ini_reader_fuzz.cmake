# Seed: a manifest with the reader's hard cases (comments, quotes, repeats, no "=").
file(WRITE ${corpus}/seed.ini
  "; comment\r\n[Ident]\r\nTime Of Update=$1F\r\n[Files]\r\n  zarn4.exe = \"4.1.0.7\" \r\n"
  ";hidden=1\r\nnoequals\r\n=empty\r\ndup=1\r\ndup=2\r\n[Cabs]\r\nzarn4.exe=zarn4.cab\r\n"
  "[ files ]\r\nlate=1\r\n[]\r\nx=1\r\n")
