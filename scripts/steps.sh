# Sourced, never run, by the commands that build and start Lumaquill Post
# (scripts/run.sh, scripts/test.sh, bench/run.sh), with $top the tree. Each
# step of their set-up says in one line what it does as it starts, and a
# step with nothing to do says nothing; the tools' own output (apt-get,
# dpkg, mmdebstrap, CMake) goes to build/setup.log, made afresh by each
# command as the calling user, so a first run reads as the command's own
# words. A step that fails shows the last lines it wrote there and the
# log's path, and the command ends with the step's exit status.
#
#   step WORDS COMMAND...    say WORDS, then run COMMAND into the log
#   install_packages         Debian's packages that this machine lacks
#   make_wine_root           the Debian 13 root for Wine 10, if not made
#   build_preset PRESET [TARGET...]
#                            configure a preset and build it, or those targets
#   start_wine               the display, wineserver and prefix of
#                            $LUMAQUILL_WINE_STATE, said where the first start
#                            has to make the prefix
setup_log="$top/build/setup.log"
mkdir -p "$top/build"
: >"$setup_log"

step() {
    echo "$1"
    shift
    # The log holds the earlier steps too: a failure shows this one's lines.
    step_from=$(($(wc -c <"$setup_log") + 1))
    step_status=0
    "$@" >>"$setup_log" 2>&1 || step_status=$?
    [ "$step_status" -ne 0 ] || return 0
    echo "That failed (exit status $step_status). The last lines it wrote:" >&2
    tail -c "+$step_from" "$setup_log" | tail -n 30 | sed 's/^/  /' >&2
    echo "All its output is in $setup_log" >&2
    exit "$step_status"
}

install_packages() {
    missing=$(sh "$top/scripts/install-deps.sh" --missing)
    [ -z "$missing" ] ||
        step "Installing Debian's packages: $(echo "$missing" | sed 's/ /, /g') (once, as root)" \
            sh "$top/scripts/install-deps.sh"
}

make_wine_root() {
    wine_root=$(sh "$top/scripts/wine-root.sh" --check) ||
        step "Making the Debian 13 root for Wine 10 in $wine_root (once, as root, about a minute and 1.7 GB)" \
            sh "$top/scripts/wine-root.sh"
}

build_preset() {
    build_words="Building build/$1"
    [ "$#" -lt 2 ] || build_words="$build_words ($(shift; echo "$*" | sed 's/ /, /g'))"
    step "$build_words" configure_and_build "$@"
}

configure_and_build() {
    preset=$1
    shift
    cmake --preset "$preset" || return
    if [ "$#" -gt 0 ]; then
        cmake --build --preset "$preset" --target "$@"
    else
        cmake --build --preset "$preset"
    fi
}

# The Wine runner marks the prefix it has made; until then, the first start
# makes it, which is slow enough to be said.
start_wine() {
    [ -f "$LUMAQUILL_WINE_STATE/prefix/.made" ] ||
        step "Starting Wine (the first start makes its prefix, up to half a minute)" sh "$top/cmake/wine-run.sh"
}
