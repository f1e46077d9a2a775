# shellcheck shell=bash
# Sourced by the scripts that install Debian packages: say writes a step on
# standard error; as_root runs a command as root (through sudo when not
# root); install_missing_packages installs those of the named packages that
# are not installed yet, with apt-get, saying which.

say() { echo "$*" >&2; }

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

install_missing_packages() {
    local missing=() package
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
            missing+=("$package")
    done
    if [ ${#missing[@]} -eq 0 ]; then
        say "Debian packages: all $# needed are installed"
        return
    fi
    say "Debian packages: installing ${#missing[@]} with apt-get: ${missing[*]}"
    say "  apt-get update (reading the package lists)"
    as_root apt-get update -qq >&2
    say "  apt-get install (downloading and unpacking; a first install takes a few minutes)"
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
        "${missing[@]}" >/dev/null
}
