#!/bin/sh
# The layer check passes on the tree and catches each kind of forbidden
# include on small trees made for it.
#
#   layers_test.sh path/to/check_layers.py path/to/repository
set -u
check=$1
repo=$2
fail=0

python3 "$check" "$repo" >/dev/null || { echo "FAIL: the tree itself breaks its layers"; python3 "$check" "$repo"; fail=1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/layers.XXXXXX") || exit 1
trap 'rm -rf "$work"' EXIT

# tree NAME RULES: a repository with docs/rooms.txt holding RULES and the
# files written by the caller under $work/NAME/src.
tree() {
    mkdir -p "$work/$1/docs" "$work/$1/src/core" "$work/$1/src/platform/audio/realtime" \
             "$work/$1/src/score" "$work/$1/src/app"
    printf '%s\n' "$2" > "$work/$1/docs/rooms.txt"
    printf 'dzq_room(score USES core\n  SOURCES\n  src/score/Logic.h\n)\n' > "$work/$1/src/score/sources.cmake"
    printf 'dzq_room(platform/audio USES core SOURCES\n  src/platform/audio/realtime/Tick.h\n)\n' \
        > "$work/$1/src/platform/audio/sources.cmake"
    printf 'dzq_room_part(app views\n  USES score\n  SOURCES\n  src/app/View.h\n)\n' > "$work/$1/src/app/sources.cmake"
    : > "$work/$1/src/core/Base.h"
    : > "$work/$1/src/app/View.h"
    : > "$work/$1/src/score/Logic.h"
    : > "$work/$1/src/platform/audio/realtime/Tick.h"
}
rules='core:
platform/audio: core
score: core platform/audio
app: core score'

# expect NAME WORDS: the check fails on tree NAME and says WORDS.
expect() {
    out=$(python3 "$check" "$work/$1")
    if [ $? -eq 0 ] || ! printf '%s' "$out" | grep -q "$2"; then
        echo "FAIL: $1: expected \"$2\", got:"; echo "$out"; fail=1
    fi
}

tree clean "$rules"
python3 "$check" "$work/clean" >/dev/null || { echo "FAIL: a clean tree is refused"; fail=1; }

tree upward "$rules"
echo '#include "app/View.h"' > "$work/upward/src/score/Logic.h"
expect upward "score may not use app"

tree platform "$rules"
echo '#include "score/Logic.h"' > "$work/platform/src/platform/audio/realtime/Tick.h"
expect platform "platform/audio may not use score"

tree widgets "$rules"
echo '#include <QWidget>' > "$work/widgets/src/score/Logic.h"
expect widgets "logic file includes a widget header"

tree view "$rules"
echo '#include "app/View.h"' > "$work/view/src/score/Logic.h"
expect view "logic file includes the view header"

tree realtime "$rules"
echo '#include <QMutex>' > "$work/realtime/src/platform/audio/realtime/Tick.h"
expect realtime "code of the audio callback includes"

# A driver's callback outside realtime/: a few lines that only hand the
# period on; longer ones, or ones that lock, log or allocate, are refused.
callback() {
    tree "$1" "$rules"
    printf 'void Out::process(float *l)\n{\n    ThreadRoles::AudioScope audio;\n%s\n}\n' "$2" \
        > "$work/$1/src/platform/audio/Out.cpp"
}
callback shortcallback '    processor_->render(l);'
python3 "$check" "$work/shortcallback" >/dev/null || { echo "FAIL: a short callback is refused"; fail=1; }
callback lockcallback '    std::lock_guard<std::mutex> lock(m_);'
expect lockcallback "audio callback uses std::lock_guard"
callback logcallback '    qWarning() << "late";'
expect logcallback "audio callback uses qWarning"
callback longcallback "$(for i in $(seq 30); do echo '    mix(l);'; done)"
expect longcallback "audio callback of 31 lines"
tree outsidecallback "$rules"
printf 'void f()\n{\n    DZQ_ONLY_AUDIO_THREAD();\n}\n' > "$work/outsidecallback/src/score/Logic.h"
expect outsidecallback "enters the audio thread outside the audio rooms"

tree loose "$rules"
: > "$work/loose/src/platform/Loose.h"
expect loose "lies in no declared room"

# A room nested in another is a room of its own: allowing the outer one
# does not allow it.
tree nested "$rules
score/deep: core"
mkdir -p "$work/nested/src/score/deep"
: > "$work/nested/src/score/deep/Deep.h"
echo '#include "score/deep/Deep.h"' > "$work/nested/src/app/View.h"
expect nested "app may not use score/deep"

tree cycle "core: app
platform/audio: core
score: core platform/audio
app: core score"
expect cycle "cycle"

tree platformrule "core:
platform/audio: core score
score: core
app: core score"
expect platformrule "is a platform room and may not use score"

# Tests mirror the rooms: a folder per room, its executables named after it.
tree testroom "$rules"
mkdir -p "$work/testroom/tests/scores" "$work/testroom/tests/support"
echo 'dzq_add_test(test_scores SOURCES A.cpp)' > "$work/testroom/tests/scores/CMakeLists.txt"
: > "$work/testroom/tests/support/CMakeLists.txt"
expect testroom "tests/scores: a test folder of no room"

tree testname "$rules"
mkdir -p "$work/testname/tests/platform/audio"
printf 'dzq_add_test(test_platform_audio SOURCES A.cpp)\ndzq_add_test(test_font_switch SOURCES B.cpp)\n' \
    > "$work/testname/tests/platform/audio/CMakeLists.txt"
expect testname "test_font_switch is not test_platform_audio"

# The rooms' libraries link only what their room may use, logic never views.
tree linkup "$rules"
printf 'dzq_room(score USES core app:views SOURCES src/score/Logic.h)\n' > "$work/linkup/src/score/sources.cmake"
expect linkup "the library of score uses app, which score may not use"

tree linkview "$rules
app: core score platform/audio"
printf 'dzq_room(app USES score:views SOURCES src/app/Logic.h)\n' > "$work/linkview/src/app/sources.cmake"
: > "$work/linkview/src/app/Logic.h"
expect linkview "the logic library of app uses the views score:views"

tree foreign "$rules"
printf 'dzq_room(score USES core SOURCES src/score/Logic.h src/app/View.h)\n' > "$work/foreign/src/score/sources.cmake"
expect foreign "holds app/View.h of another room"

# A test drives its room, what it builds on or what is built on it; a
# logic test no views.
tree testlink "$rules
editor: core"
mkdir -p "$work/testlink/tests/score" "$work/testlink/tests/platform/audio"
printf 'dzq_add_test(test_score USES app editor SOURCES A.cpp)\n' > "$work/testlink/tests/score/CMakeLists.txt"
printf 'dzq_add_test(test_platform_audio USES score SOURCES A.cpp)\n' > "$work/testlink/tests/platform/audio/CMakeLists.txt"
out=$(python3 "$check" "$work/testlink")
if ! printf '%s' "$out" | grep -q "test_score uses editor, which neither" ||
   printf '%s' "$out" | grep -q "uses app\|uses score"; then
    echo "FAIL: testlink: expected only editor refused, got:"; echo "$out"; fail=1
fi

tree testview "$rules"
mkdir -p "$work/testview/tests/score"
printf 'dzq_add_test(test_score USES app:views SOURCES A.cpp)\n' > "$work/testview/tests/score/CMakeLists.txt"
expect testview "the logic test test_score uses the views app:views"

[ $fail -eq 0 ] && echo "layers: all cases pass"
exit $fail
