#!/usr/bin/env python3
"""Generates the shipped domain and country lists in data/.

Sources are Debian's `publicsuffix` package (the ICANN section of the public suffix list) and
`iso-codes` (ISO 3166-1). Only needed to regenerate the files, which are committed. The output
depends on nothing but the two inputs: same input, byte-identical files.

TLD.dat      every top-level label, IDN labels as "xn--" A-labels
SLD.dat      every suffix of exactly two labels ("co.uk"); "*." is dropped from wildcard rules
             first, exception rules ("!www.ck") are no suffixes and are skipped
GTLD.dat     the top-level labels other than two-letter country codes
Countries.dat "code,name=0" per ISO 3166-1 country whose top-level domain is delegated, by name
"""

import argparse
import json
import os
import sys
import unicodedata

PUBLIC_SUFFIX_LIST = "/usr/share/publicsuffix/public_suffix_list.dat"
ISO_3166_1 = "/usr/share/iso-codes/json/iso_3166-1.json"
ICANN_BEGIN = "// ===BEGIN ICANN DOMAINS==="
ICANN_END = "// ===END ICANN DOMAINS==="

# ISO 3166-1 countries whose top-level domain is not their lower-case alpha-2 code. None means
# the country has no delegated domain of its own: its hosts sit under another country's code,
# so listing it would either never match or block the wrong country.
COUNTRY_TLD_EXCEPTIONS = {
    "GB": "uk",  # .gb is delegated but unused; British hosts are under .uk
    "BQ": None,  # .bq is reserved, not delegated; the islands use .nl
    "BL": None,  # .bl is reserved, not delegated; Saint Barthélemy uses .fr and .gp
    "MF": None,  # .mf is reserved, not delegated; Saint Martin uses .fr and .gp
    "EH": None,  # .eh has never been delegated
    "UM": None,  # .um was withdrawn from the root in 2008
}


def ascii_label(label):
    label = label.lower()
    if label.isascii():
        return label
    return "xn--" + label.encode("punycode").decode("ascii")


def icann_rules(path):
    with open(path, encoding="utf-8") as f:
        lines = [line.strip() for line in f.read().splitlines()]
    try:
        begin, end = lines.index(ICANN_BEGIN), lines.index(ICANN_END)
    except ValueError:
        sys.exit(f"{path}: the ICANN section markers are missing")
    for line in lines[begin + 1 : end]:
        if line and not line.startswith("//"):
            yield line.split()[0]


def domain_lists(rules):
    tlds, slds = set(), set()
    for rule in rules:
        exception = rule.startswith("!")
        labels = [ascii_label(l) for l in rule.lstrip("!").split(".") if l]
        if labels and labels[-1] != "*":
            tlds.add(labels[-1])
        if exception:
            continue
        while labels and labels[0] == "*":
            labels.pop(0)
        if len(labels) == 2:
            slds.add(".".join(labels))
    gtlds = {t for t in tlds if not (len(t) == 2 and t.isascii() and t.isalpha())}
    return sorted(tlds), sorted(slds), sorted(gtlds)


def sort_key(name):
    # Accents are ignored so that "Åland Islands" sorts among the A's.
    plain = "".join(c for c in unicodedata.normalize("NFKD", name) if not unicodedata.combining(c))
    return (plain.casefold(), name)


def country_lines(path, tlds):
    with open(path, encoding="utf-8") as f:
        countries = json.load(f)["3166-1"]
    known = set(tlds)
    entries = []
    for country in countries:
        alpha2 = country["alpha_2"]
        code = COUNTRY_TLD_EXCEPTIONS.get(alpha2, alpha2.lower())
        if code is None:
            continue
        if code not in known:
            sys.exit(f"{alpha2}: .{code} is not in the ICANN list; add it to the exceptions")
        name = country.get("common_name") or country["name"]
        entries.append((sort_key(name), code, name))
    entries.sort()
    return [f"{code},{name}=0" for _, code, name in entries]


def write_list(folder, file_name, lines):
    path = os.path.join(folder, file_name)
    with open(path, "wb") as f:
        f.write("".join(line + "\r\n" for line in lines).encode("utf-8"))
    print(f"{path}: {len(lines)} entries")


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--psl", default=PUBLIC_SUFFIX_LIST)
    parser.add_argument("--iso", default=ISO_3166_1)
    parser.add_argument("--out", default=os.path.join(here, "..", "data"))
    args = parser.parse_args()

    tlds, slds, gtlds = domain_lists(icann_rules(args.psl))
    out = os.path.normpath(args.out)
    write_list(out, "TLD.dat", tlds)
    write_list(out, "SLD.dat", slds)
    write_list(out, "GTLD.dat", gtlds)
    write_list(out, "Countries.dat", country_lines(args.iso, tlds))


if __name__ == "__main__":
    main()
