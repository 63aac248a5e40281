#!/usr/bin/env python3
"""Writes the fuzz targets' seed inputs into fuzz/corpus/<target>/, from the
bundled examples (examples/*.json) and templates (templates/**).

    python3 fuzz/make_corpus.py

Each seed is named after a hash of its content; running it again rewrites
the same files. The input formats are described at the top of each target.
"""
import hashlib
import json
import pathlib
import re

ROOT = pathlib.Path(__file__).resolve().parent.parent
CORPUS = ROOT / "fuzz" / "corpus"
EXAMPLES = sorted((ROOT / "examples").glob("*.json"))
TEMPLATES = sorted(p for p in (ROOT / "templates").rglob("*") if p.is_file())
DEFAULT_ROOT = "Logical View"


def write(target, data):
    if isinstance(data, str):
        data = data.encode()
    folder = CORPUS / target
    folder.mkdir(parents=True, exist_ok=True)
    (folder / hashlib.sha1(data).hexdigest()).write_bytes(data)


def elements(doc):
    """Every element of a document: (qualified name, kind, parameters)."""
    root = doc.get("root", DEFAULT_ROOT)
    for component in doc.get("components", []):
        yield component["name"], "component", None
    yield root, "package", None

    def package(node, prefix):
        for cls in node.get("classes", []):
            name = f"{prefix}::{cls['name']}"
            yield name, "class", None
            for attribute in cls.get("attributes", []):
                yield f"{name}::{attribute['name']}", "attribute", None
            for operation in cls.get("operations", []):
                op = f"{name}::{operation['name']}"
                yield op, "operation", operation.get("parameters", [])
                for parameter in operation.get("parameters", []):
                    yield f"{op}::{parameter.get('name', '')}", "parameter", None
        for sub in node.get("packages", []):
            name = f"{prefix}::{sub['name']}"
            yield name, "package", None
            yield from package(sub, name)

    yield from package(doc, root)


def main():
    docs = []
    for example in EXAMPLES:
        write("model_document", example.read_bytes())
        docs.append(json.loads(example.read_text()))

    # Selection names: every element, with and without the root's name.
    for doc in docs:
        root = doc.get("root", DEFAULT_ROOT)
        for name, _, _ in elements(doc):
            write("selection_name", name)
            if name.startswith(root + "::"):
                write("selection_name", name[len(root) + 2:])

    # Resource fields: the parameters of each operation, all four arrays there.
    for doc in docs:
        for _, kind, parameters in elements(doc):
            if kind != "operation" or not parameters:
                continue
            lines = ["++++"]
            for p in parameters:
                array = "()" if "SAFEARRAY" in p.get("type", "") else ""
                lines.append("\t".join([p.get("type", ""), p.get("name", ""), array, p.get("initValue", "")]))
            write("resource_fields", "\n".join(lines))
    write("resource_fields", '++++\nlong\tcount\t\t"quoted"\nBSTR\tname\t\t')
    write("resource_fields", "+-++\nlong\ta\t\t1")

    # Template lines: each line with a tag, with a value for each of its
    # tags; the indented ones once more with a value of several lines.
    seen = set()
    for template in TEMPLATES:
        for line in template.read_text(errors="replace").splitlines():
            tags = list(dict.fromkeys(re.findall(r"<[A-Za-z_]+>", line)))
            if not tags or line in seen:
                continue
            seen.add(line)
            pairs = []
            for tag in tags:
                pairs += [tag, tag.strip("<>").title().replace("_", "")]
            write("template_line", "\0".join([line] + pairs))
            if line.startswith(" "):
                multi = []
                for tag in tags:
                    multi += [tag, "first;\r\nsecond;\r\n  third;  "]
                write("template_line", "\0".join([line] + multi))
    write("template_line", "    <generation_date>\0<generation_date>")

    # Project-file lines as a Visual Basic project holds them.
    for line in [
        "Class=TestCalc; TestCalc.cls",
        "  Class=T; ..\\x\\A.cls ",
        "Module=modMain; modMain.bas",
        "Module=M;",
        "ResFile32=TestCalc; TestCalc.res",
        "ResFile32=MyTest;",
        'Reference=*\\G{00020430-0000-0000-C000-000000000046}#2.0#0#stdole2.tlb#OLE Automation',
        'Name="TestCalc"',
        "Class=NoSeparator",
    ]:
        write("project_line", line)


if __name__ == "__main__":
    main()
