"""Checks the layout of the Windows zip file: only the programs and the folders zoneinfo and doc
at the top (so that `tagpress.exe *.txt` run there finds no document to convert), the README,
the licence and both manuals in doc as text with CR LF line ends, and the zone files.

    python3 zip_layout_test.py tagpress-VERSION-win64.zip
"""
import pathlib
import sys
import zipfile

TOP = {"tagpress.exe", "hstdump.exe", "zoneinfo", "doc"}
DOCS = {"README.txt", "LICENSE.txt", "tagpress.txt", "hstdump.txt"}


def faults(path):
    with zipfile.ZipFile(path) as archive:
        files = {name: archive.read(name) for name in archive.namelist() if not name.endswith("/")}
    # Everything lies in one folder named after the zip file.
    folder = pathlib.Path(path).stem + "/"
    outside = [name for name in files if not name.startswith(folder)]
    if outside:
        return [f"outside {folder}: {outside[:5]}"]
    files = {name[len(folder):]: data for name, data in files.items()}
    found = []
    top = {name.split("/")[0] for name in files}
    if top != TOP:
        found.append(f"top level holds {sorted(top)}, expected {sorted(TOP)}")
    docs = {name[4:] for name in files if name.startswith("doc/")}
    if docs != DOCS:
        found.append(f"doc holds {sorted(docs)}, expected {sorted(DOCS)}")
    for name in sorted(DOCS & docs):
        text = files["doc/" + name]
        bare = text.replace(b"\r\n", b"")
        if not text.endswith(b"\r\n") or b"\n" in bare or b"\r" in bare:
            found.append(f"doc/{name}: lines not all ended by CR LF")
    if not files.get("zoneinfo/Europe/Berlin", b"").startswith(b"TZif"):
        found.append("zoneinfo/Europe/Berlin is no zone file")
    return found


if __name__ == "__main__":
    found = faults(sys.argv[1])
    print("\n".join(found) or "layout as expected")
    sys.exit(1 if found else 0)
