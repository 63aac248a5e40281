#!/usr/bin/env python3
"""Writes the fuzz targets' seed inputs into fuzz/corpus/<target>/, from the
bundled examples (examples/*.json) and templates (templates/**), for the
XMI reader from tests/data/xmi/ and the real tools' exports in
tests/data/xmi-samples/, and typical CSV files, store locations and
--answer values.

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
XMI_FILES = sorted(p for folder in (ROOT / "tests" / "data" / "xmi", ROOT / "tests" / "data" / "xmi-samples")
                   if folder.is_dir() for p in folder.iterdir() if p.suffix in (".uml", ".xmi", ".xml"))
XMI_NS = "http://www.omg.org/XMI/20131001"
UML_NS = "http://www.eclipse.org/uml2/5.0.0/UML"
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

    # XMI files: the test data and the real tools' exports, and small ones with
    # a few constructs each ("|" parts what is inside the model from what
    # follows it).
    for path in XMI_FILES:
        write("xmi", path.read_bytes())
    head = (f'<?xml version="1.0" encoding="UTF-8"?>\n<xmi:XMI xmi:version="2.1" xmlns:xmi="{XMI_NS}" '
            f'xmlns:uml="{UML_NS}" xmlns:P="http:///schemas/P/1">\n<uml:Model xmi:id="m" name="M">\n')
    for body in [
        '<packagedElement xmi:type="uml:Package" xmi:id="p" name="p"><packagedElement xmi:type="uml:Class" '
        'xmi:id="c" name="C" isAbstract="true"><ownedAttribute xmi:id="a" name="a" type="t"/>'
        '<ownedOperation xmi:id="o" name="op"><ownedParameter xmi:id="r" direction="return" type="t"/>'
        '<ownedParameter xmi:id="x" name="x" kind="inout"><type href="x.uml#Integer"/>'
        '<defaultValue xmi:type="uml:LiteralString" value="1"/></ownedParameter></ownedOperation>'
        '</packagedElement><packagedElement xmi:type="uml:PrimitiveType" xmi:id="t" name="T"/>'
        '</packagedElement>',
        '<packagedElement xmi:type="uml:Interface" xmi:id="i" name="I"/><packagedElement xmi:type="uml:Class" '
        'xmi:id="k" name="K"><generalization xmi:id="g" general="i"/><interfaceRealization xmi:id="ir" '
        'contract="i"/></packagedElement><packagedElement xmi:type="uml:Realization" xmi:id="z" client="k" '
        'supplier="i"/>|<P:COM xmi:id="s" base_Class="k" progid="X.Y"><uuid>1</uuid></P:COM>',
        '<packagedElement xmi:type="uml:Class" xmi:id="d1" name="D"/><packagedElement xmi:type="uml:Class" '
        'xmi:id="d2" name="D"><nestedClassifier xmi:type="uml:Class" xmi:id="n" name="N"/></packagedElement>',
    ]:
        inside, _, beside = body.partition("|")
        write("xmi", head + inside + "</uml:Model>\n" + beside + "</xmi:XMI>\n")
    write("xmi", '<?xml version="1.0"?>\n<XMI xmi.version="1.2"><XMI.content/></XMI>')

    # CSV as datapools are exported, imported and edited (fields a, b, c).
    for csv in [
        "a,b,c\n1,2,3\n",
        'c,a,b\r\n"x, ""y""",1,\r\n"two\nlines",,z\r',
        '\ufeffa,b,c\n"",,\n\n4,5,6',
        'a,b,c\n1,"open\n',
        "a,b\n1,2\n",
    ]:
        write("csv", csv)

    # Store locations: folders, both of libpq's forms, and what is refused.
    for location in [
        "ztstore", "./host=x", "/data/a=b", " ztstore",
        "postgresql://u@h:5433/db?scripts=/s&sslmode=disable",
        "postgres://h/db?scripts=%2Fs%20x/", "postgresql:///db?host=/run/postgresql&scripts=rel",
        "host=/run/postgresql dbname=db scripts='/a b'", "scripts=/s  host = h   dbname='my db'",
        "host=/s scripts dbname=zkw", "POSTGRESQL://u:pw1@h/db?scripts=/s", "postgresql:/db",
        "host=h password=pw2 scripts=/s", "postgresql://h/db?password=pw3&scripts=/s%00x",
        "host=h options='-csearch_path=x' connect_timeout=3 scripts=/", "Host=h scripts=/s",
    ]:
        write("store_location", location)

    # --answer values, one per line.
    write("answer", "replace=all\nuser=ann\ncoclass=Maths::FancyFormatter\ncoclass=A")
    write("answer", "overwrite-datapools=none\nedit-datapools=yes\ntemplate-scope=model\ntemplate-file=/x=y")
    write("answer", "replace=maybe\ncolour=red\nuser=\nreplace=no\nreplace=yes\n=x\nresource-compiler")


if __name__ == "__main__":
    main()
