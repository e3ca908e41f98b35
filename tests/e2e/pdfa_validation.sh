#!/usr/bin/env bash
# The report and its archive copy checked by a PDF/A-1b validator (Apache PDFBox Preflight), not
# only by their structure. A file whose PDF/A identification is spoilt must be refused, so that a
# validator that passes everything cannot pass this test.
#   pdfa_validation.sh BIN_DIR [JAVA_DIR]
set -uo pipefail

bin=${1:?usage: pdfa_validation.sh BIN_DIR [JAVA_DIR]}
java_dir=${2:-/usr/share/java}
jars=(preflight pdfbox2 fontbox2 xmpbox commons-logging javax.activation jaxb-api)

# CI must run the check: there a missing piece fails it.
missing() {
    if [[ -n "${QUARN_E2E_TOOLS_REQUIRED:-}" ]]; then
        echo "FAIL: $1 is missing (scripts/install-deps installs it)"
        exit 1
    fi
    echo "SKIP: $1 is missing (scripts/install-deps installs it)"
    exit 77
}

command -v java >/dev/null || missing java
class_path=""
for jar in "${jars[@]}"; do
    [[ -f $java_dir/$jar.jar ]] || missing "$java_dir/$jar.jar"
    class_path+="${class_path:+:}$java_dir/$jar.jar"
done

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

validate() {
    java -cp "$class_path" org.apache.pdfbox.preflight.Validator_A1b "$1" 2>&1
}

if ! QT_QPA_PLATFORM=offscreen QUARN_PDFA_OUT=$out "$bin/MainArchive_test" \
    --gtest_filter='MainArchiveTest.ReportAndItsCopyForTheValidator' --gtest_brief=1 >"$out/run.log" 2>&1; then
    cat "$out/run.log"
    fail "the window did not produce its report and copy"
fi

shopt -s nullglob
files=("$out"/*.pdf)
[[ ${#files[@]} -eq 2 ]] || fail "expected the report and one copy, found ${#files[@]} files"
for file in "${files[@]}"; do
    verdict=$(validate "$file")
    status=$?
    if [[ $status -ne 0 || $verdict != *"is a valid PDF/A-1b file"* ]]; then
        fail "$(basename "$file") is not PDF/A-1b: $verdict"
    else
        echo "$(basename "$file"): $verdict"
    fi
done

if [[ ${#files[@]} -gt 0 ]]; then
    # Same length, so the cross-reference offsets stay right and only the identification breaks.
    spoilt=$out/spoilt.bin
    LC_ALL=C sed 's/pdfaid:part/pdfaxx:part/g' "${files[0]}" >"$spoilt"
    verdict=$(validate "$spoilt")
    if [[ $? -eq 0 || $verdict == *"is a valid PDF/A-1b file"* ]]; then
        fail "the validator passed a file without PDF/A identification: $verdict"
    fi
fi

[[ $failures -eq 0 ]] && echo "PASS: report and archive copy are PDF/A-1b"
exit $((failures > 0))
