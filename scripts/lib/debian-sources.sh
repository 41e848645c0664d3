# An apt state of its own for fetching Debian source packages, without touching /etc/apt: a private
# sources list with deb-src lines for the Debian mirrors and suites this machine's apt already uses
# (one-line and deb822 lists), and private lists and cache folders. Sourced by
# scripts/install-deps and bench/delta.sh.
#
# zarn_debian_source_state DIR: writes DIR/sources.list, makes DIR/lists and DIR/cache, and sets
# the array apt_options, to be given to every apt-get call that uses the state ("update" first).
zarn_debian_source_state() {
  local state=$1 f
  mkdir -p "$state/lists/partial" "$state/cache/archives/partial"
  {
    grep -hE '^[[:space:]]*deb[[:space:]]' /etc/apt/sources.list /etc/apt/sources.list.d/*.list \
      2>/dev/null | sed -E 's/^[[:space:]]*deb[[:space:]]+(\[[^]]*\][[:space:]]+)?/deb-src /' || true
    for f in /etc/apt/sources.list.d/*.sources; do
      [[ -f $f ]] || continue
      awk 'BEGIN { RS = ""; FS = "\n" }
        {
          types = uris = suites = comps = ""
          for (i = 1; i <= NF; i++) {
            if ($i ~ /^Types:/) types = substr($i, 7)
            else if ($i ~ /^URIs:/) uris = substr($i, 6)
            else if ($i ~ /^Suites:/) suites = substr($i, 8)
            else if ($i ~ /^Components:/) comps = substr($i, 12)
          }
          if (types !~ /(^| )deb( |$)/) next
          n = split(suites, s, " "); m = split(uris, u, " ")
          for (j = 1; j <= m; j++) for (k = 1; k <= n; k++) print "deb-src " u[j] " " s[k] " " comps
        }' "$f"
    done
  } | grep -E 'deb-src +https?://[^ ]*(debian|debian-security)' | sort -u >"$state/sources.list"
  apt_options=(-o "Dir::Etc::sourcelist=$state/sources.list" -o "Dir::Etc::sourceparts=-"
    -o "Dir::State::Lists=$state/lists" -o "Dir::Cache=$state/cache"
    # The private folders belong to whoever runs this; apt's own download user cannot write there.
    -o "APT::Sandbox::User=$(id -un)")
}
