# Sourced by the set-up scripts: a private apt configuration, so that source packages and a few newer
# packages (JUCE's source, the Windows headers from trixie) can be fetched while the system's own
# sources and state stay untouched. The mirror is the one this machine is already configured with.
#
#   private_apt_setup WORKDIR SUITE "deb deb-src"   fills the array private_apt (apt-get options), updates
#   apt-get "${private_apt[@]}" source|download ...

private_apt_setup()
{
    local work=$1 suite=$2 types=$3 uri
    uri=$(grep -h -m1 -E '^URIs:' /etc/apt/sources.list.d/*.sources 2>/dev/null | grep -v -i security | head -n1 | awk '{print $2}' || true)
    if [ -z "$uri" ]; then
        uri=$(grep -h -E '^deb ' /etc/apt/sources.list 2>/dev/null | grep -v -i security | head -n1 | awk '{print $2}' || true)
    fi
    [ -n "$uri" ] || { echo "No Debian source configured in /etc/apt: cannot fetch from $suite" >&2; return 1; }

    mkdir -p "$work/sources.list.d" "$work/state/lists/partial" "$work/cache/archives/partial" "$work/pref"
    cat > "$work/sources.list.d/private.sources" <<SRC
Types: $types
URIs: $uri
Suites: $suite
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
    private_apt=(-o Dir::Etc::SourceList=/dev/null -o Dir::Etc::SourceParts="$work/sources.list.d"
                 -o Dir::Etc::PreferencesParts="$work/pref" -o Dir::State="$work/state" -o Dir::Cache="$work/cache"
                 -o Dir::State::status=/var/lib/dpkg/status -o APT::Sandbox::User=root)
    apt-get "${private_apt[@]}" update -qq
}

# The machine's own Debian suite.
machine_suite()
{
    . /etc/os-release && echo "$VERSION_CODENAME"
}
