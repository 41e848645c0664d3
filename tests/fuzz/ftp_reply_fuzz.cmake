# Seeds: replies of every shape the reader knows (multi-line, +OK/-ERR, blank lines, bare LF).
file(WRITE ${corpus}/seed-multiline "220-first\r\n220-second\r\n  220 last\r\n\r\n331 pass\n")
file(WRITE ${corpus}/seed-odd "+ok ready\r\n-ERR no\r\n2a0-x\r\n2A0 end\r\nabc\r250 cr\r\n")
