#!/usr/bin/env python3
"""Writes src/binding/schema_table.inc from the SII's XML schemas.

The binding model inserts elements in schema order and checks values against the schema's
simple types; this script turns the XSD files into the C++ table that holds those facts, so the
build needs neither Python nor the schema files. Run it again whenever the schemas change:

    python3 tools/generate_schema_table.py [SCHEMA_FOLDER OUTPUT]

The folder defaults to the repository's schemas/sii/ and the output to
src/binding/schema_table.inc, both found from this script's own location.

Only the constructs the SII schemas use are understood (sequence, choice, element refs, named
and anonymous types, simpleContent extensions, restriction facets); anything else stops the
script with an error instead of producing a silently wrong table.
"""

import decimal
import os
import sys
import xml.etree.ElementTree as ET

XS = "http://www.w3.org/2001/XMLSchema"
SII_DTE = "http://www.sii.cl/SiiDte"
SII_LCE = "http://www.sii.cl/SiiLce"
XMLDSIG = "http://www.w3.org/2000/09/xmldsig#"
NAMESPACES = [SII_DTE, SII_LCE, XMLDSIG]
NS_CONSTANTS = {SII_DTE: "kSiiDte", SII_LCE: "kSiiLce", XMLDSIG: "kXmlDsig"}
UNBOUNDED = 0xFFFF

# The roots the binding types stand for: identifier, schema file, whether the root is a global
# element or a named complex type, its name, and the element name it is written with.
ROOTS = [
    ("kDte", "DTE_v10.xsd", "element", "DTE", "DTE"),
    ("kBoleta", "EnvioBOLETA_v11.xsd", "type", "BOLETADefType", "DTE"),
    ("kConsumoFolios", "ConsumoFolio_v10.xsd", "element", "ConsumoFolios", "ConsumoFolios"),
    ("kLibroCompraVenta", "LibroCV_v10.xsd", "element", "LibroCompraVenta", "LibroCompraVenta"),
    ("kLibroGuia", "LibroGuia_v10.xsd", "element", "LibroGuia", "LibroGuia"),
    ("kLibroBoleta", "LibroBOLETA_v10.xsd", "element", "LibroBoleta", "LibroBoleta"),
]

# Built-in simple types: value kind and the bounds their definition implies.
INTEGER_BOUNDS = {
    "integer": (None, None),
    "positiveInteger": ("1", None),
    "nonNegativeInteger": ("0", None),
    "long": ("-9223372036854775808", "9223372036854775807"),
    "unsignedLong": ("0", "18446744073709551615"),
    "int": ("-2147483648", "2147483647"),
}
BUILTIN_KINDS = {
    "string": "kString",
    "anySimpleType": "kString",
    "normalizedString": "kString",
    "token": "kString",
    "decimal": "kDecimal",
    "date": "kDate",
    "dateTime": "kDateTime",
    "gYearMonth": "kYearMonth",
    "gYear": "kYear",
    "base64Binary": "kBase64",
    "anyURI": "kUri",
    "ID": "kId",
    "boolean": "kBoolean",
}
FACETS = {"length", "minLength", "maxLength", "totalDigits", "fractionDigits", "minInclusive",
          "maxInclusive", "pattern", "enumeration"}
IGNORED = {f"{{{XS}}}annotation"}


class SchemaError(Exception):
    pass


def local_name(element):
    return element.tag.split("}", 1)[1] if element.tag.startswith("{") else element.tag


def children(element):
    return [child for child in element if child.tag not in IGNORED and isinstance(child.tag, str)]


class SchemaFile:
    """One parsed XSD file with the prefixes its root declares."""

    def __init__(self, path):
        self.path = path
        self.prefixes = {}
        for event, item in ET.iterparse(path, events=("start-ns",)):
            prefix, uri = item
            if prefix in self.prefixes and self.prefixes[prefix] != uri:
                raise SchemaError(f"{path}: prefix {prefix} declared twice")
            self.prefixes[prefix] = uri
        self.root = ET.parse(path).getroot()
        self.target = self.root.get("targetNamespace", "")
        if self.root.get("elementFormDefault") != "qualified":
            raise SchemaError(f"{path}: local elements must be qualified")

    def resolve(self, qname):
        prefix, _, name = qname.rpartition(":")
        if prefix not in self.prefixes:
            raise SchemaError(f"{self.path}: unknown prefix in {qname}")
        return self.prefixes[prefix], name


class SchemaSet:
    """The global components of one root schema and everything it includes or imports."""

    def __init__(self, folder, root_file):
        self.folder = folder
        self.files = {}
        self.elements = {}
        self.complex_types = {}
        self.simple_types = {}
        self.load(root_file)

    def load(self, file_name):
        if file_name in self.files:
            return
        schema = SchemaFile(os.path.join(self.folder, file_name))
        self.files[file_name] = schema
        for item in children(schema.root):
            kind = local_name(item)
            if kind in ("include", "import"):
                self.load(item.get("schemaLocation"))
            elif kind in ("element", "complexType", "simpleType"):
                table = {"element": self.elements, "complexType": self.complex_types,
                         "simpleType": self.simple_types}[kind]
                key = (schema.target, item.get("name"))
                if key in table:
                    raise SchemaError(f"{file_name}: {kind} {key} defined twice")
                table[key] = (item, schema)
            elif kind == "attribute":
                continue  # a global attribute no type of the roots refers to
            else:
                raise SchemaError(f"{file_name}: unsupported top-level {kind}")


def decimal_value(text):
    try:
        return decimal.Decimal(text.strip())
    except decimal.InvalidOperation as error:
        raise SchemaError(f"bad numeric facet {text}") from error


class SimpleDef:
    """A simple type with every facet of its derivation chain folded in."""

    def __init__(self, kind, integer_base=None):
        self.kind = kind
        self.facets = {}
        self.enumerations = None
        self.pattern = ""
        if integer_base is not None:
            low, high = INTEGER_BOUNDS[integer_base]
            if low is not None:
                self.facets["minInclusive"] = low
            if high is not None:
                self.facets["maxInclusive"] = high
            self.facets["fractionDigits"] = "0"

    def copy(self):
        other = SimpleDef(self.kind)
        other.facets = dict(self.facets)
        other.enumerations = None if self.enumerations is None else list(self.enumerations)
        other.pattern = self.pattern
        return other

    def restrict(self, restriction, where):
        enumerations = []
        for facet in children(restriction):
            name = local_name(facet)
            if name not in FACETS:
                raise SchemaError(f"{where}: unsupported facet {name}")
            value = facet.get("value")
            if name == "enumeration":
                enumerations.append(value)
            elif name == "pattern":
                if self.pattern:
                    raise SchemaError(f"{where}: two patterns in one derivation chain")
                self.pattern = value
            elif name in ("minInclusive", "maxInclusive") and self.kind in ("kInteger", "kDecimal"):
                current = self.facets.get(name)
                tighter = current is None or (
                    decimal_value(value) > decimal_value(current) if name == "minInclusive"
                    else decimal_value(value) < decimal_value(current))
                if tighter:
                    self.facets[name] = value
            else:
                self.facets[name] = value
        if enumerations:
            self.enumerations = enumerations

    def key(self):
        return (self.kind, tuple(sorted(self.facets.items())),
                None if self.enumerations is None else tuple(self.enumerations), self.pattern)


class Builder:
    """Turns the schema sets into flat, deduplicated tables."""

    def __init__(self):
        self.simple_rows = []
        self.simple_index = {}
        self.enumerations = []
        self.complex_rows = []
        self.complex_index = {}
        self.roots = []

    def builtin(self, name, where):
        if name in INTEGER_BOUNDS:
            return SimpleDef("kInteger", name)
        if name in BUILTIN_KINDS:
            return SimpleDef(BUILTIN_KINDS[name])
        raise SchemaError(f"{where}: unsupported built-in type {name}")

    def simple_from_qname(self, sset, schema, qname, where):
        uri, name = schema.resolve(qname)
        if uri == XS:
            return self.builtin(name, where)
        if (uri, name) not in sset.simple_types:
            raise SchemaError(f"{where}: unknown simple type {qname}")
        node, owner = sset.simple_types[(uri, name)]
        return self.simple_from_node(sset, owner, node, f"{name}")

    def simple_from_node(self, sset, schema, node, where):
        parts = children(node)
        if len(parts) != 1 or local_name(parts[0]) != "restriction":
            raise SchemaError(f"{where}: only restrictions are supported")
        restriction = parts[0]
        base = restriction.get("base")
        if base is None:
            raise SchemaError(f"{where}: restriction without base")
        result = self.simple_from_qname(sset, schema, base, where).copy()
        result.restrict(restriction, where)
        return result

    def simple_index_of(self, simple):
        key = simple.key()
        if key not in self.simple_index:
            first = len(self.enumerations)
            if simple.enumerations:
                self.enumerations.extend(simple.enumerations)
            self.simple_index[key] = len(self.simple_rows)
            self.simple_rows.append((simple, first, len(simple.enumerations or [])))
        return self.simple_index[key]

    def element_type(self, sset, schema, element, where):
        """(complex row index or -1, simple row index or -1) of an element declaration."""
        inline = [child for child in children(element)
                  if local_name(child) in ("complexType", "simpleType")]
        type_name = element.get("type")
        if inline and type_name:
            raise SchemaError(f"{where}: both a type and an inline type")
        if inline:
            if local_name(inline[0]) == "complexType":
                return self.complex_index_of(sset, schema, inline[0], where), -1
            return -1, self.simple_index_of(self.simple_from_node(sset, schema, inline[0], where))
        if type_name is None:
            return -1, self.simple_index_of(SimpleDef("kString"))
        uri, name = schema.resolve(type_name)
        if uri != XS and (uri, name) in sset.complex_types:
            node, owner = sset.complex_types[(uri, name)]
            return self.complex_index_of(sset, owner, node, name), -1
        return -1, self.simple_index_of(self.simple_from_qname(sset, schema, type_name, where))

    def occurs(self, node, where):
        low = int(node.get("minOccurs", "1"))
        high_text = node.get("maxOccurs", "1")
        high = UNBOUNDED if high_text == "unbounded" else int(high_text)
        if high >= UNBOUNDED and high_text != "unbounded":
            raise SchemaError(f"{where}: maxOccurs too large")
        return low, high

    def particle(self, sset, schema, element, slot, choice_min, where):
        ref = element.get("ref")
        low, high = self.occurs(element, where)
        if ref is not None:
            uri, name = schema.resolve(ref)
            if (uri, name) not in sset.elements:
                raise SchemaError(f"{where}: unknown element {ref}")
            declaration, owner = sset.elements[(uri, name)]
            complex_type, simple_type = self.element_type(sset, owner, declaration,
                                                          f"{where}/{name}")
        else:
            name = element.get("name")
            uri = schema.target
            complex_type, simple_type = self.element_type(sset, schema, element, f"{where}/{name}")
        if uri not in NS_CONSTANTS:
            raise SchemaError(f"{where}: element {name} in unexpected namespace {uri}")
        return (name, uri, low, high, slot, choice_min, complex_type, simple_type)

    def content(self, sset, schema, group, where):
        """The particles of a sequence; each element or choice takes the next slot."""
        if local_name(group) == "choice":
            group_items = [group]
        else:
            if group.get("minOccurs", "1") != "1" or group.get("maxOccurs", "1") != "1":
                raise SchemaError(f"{where}: repeated sequences are not supported")
            group_items = children(group)
        result = []
        for slot, item in enumerate(group_items):
            kind = local_name(item)
            if kind == "element":
                result.append(self.particle(sset, schema, item, slot, None, where))
            elif kind == "choice":
                low, high = self.occurs(item, where)
                if high != 1:
                    raise SchemaError(f"{where}: repeated choices are not supported")
                for member in children(item):
                    if local_name(member) != "element":
                        raise SchemaError(f"{where}: only elements may sit in a choice")
                    entry = self.particle(sset, schema, member, slot, low, where)
                    if entry[3] != 1:
                        raise SchemaError(f"{where}: repeated choice members are not supported")
                    result.append(entry)
            else:
                raise SchemaError(f"{where}: unsupported particle {kind}")
        return result

    def attribute(self, sset, schema, node, where):
        if node.get("ref") is not None:
            raise SchemaError(f"{where}: attribute references are not supported")
        name = node.get("name")
        inline = [child for child in children(node) if local_name(child) == "simpleType"]
        if inline:
            simple = self.simple_from_node(sset, schema, inline[0], f"{where}/@{name}")
        elif node.get("type"):
            simple = self.simple_from_qname(sset, schema, node.get("type"), f"{where}/@{name}")
        else:
            simple = SimpleDef("kString")
        use = node.get("use", "optional")
        if use not in ("optional", "required"):
            raise SchemaError(f"{where}: unsupported attribute use {use}")
        return (name, self.simple_index_of(simple), use == "required", node.get("fixed"))

    def complex_index_of(self, sset, schema, node, where):
        if node.get("mixed") == "true":
            raise SchemaError(f"{where}: mixed content is not supported")
        particles, attributes, content_type = [], [], -1
        for item in children(node):
            kind = local_name(item)
            if kind in ("sequence", "choice"):
                if particles:
                    raise SchemaError(f"{where}: two content models")
                particles = self.content(sset, schema, item, where)
            elif kind == "attribute":
                attributes.append(self.attribute(sset, schema, item, where))
            elif kind == "simpleContent":
                parts = children(item)
                if len(parts) != 1 or local_name(parts[0]) != "extension":
                    raise SchemaError(f"{where}: only simpleContent extensions are supported")
                extension = parts[0]
                content_type = self.simple_index_of(
                    self.simple_from_qname(sset, schema, extension.get("base"), where))
                for extra in children(extension):
                    if local_name(extra) != "attribute":
                        raise SchemaError(f"{where}: unsupported {local_name(extra)} in extension")
                    attributes.append(self.attribute(sset, schema, extra, where))
            else:
                raise SchemaError(f"{where}: unsupported {kind} in a complex type")
        names = [entry[0] for entry in particles]
        if len(set(names)) != len(names):
            # The model's paths name children by local name alone.
            raise SchemaError(f"{where}: two child elements share a local name")
        key = (tuple(particles), tuple(attributes), content_type)
        if key not in self.complex_index:
            self.complex_index[key] = len(self.complex_rows)
            self.complex_rows.append((where, particles, attributes, content_type))
        return self.complex_index[key]

    def add_root(self, folder, identifier, file_name, kind, name, element_name):
        sset = SchemaSet(folder, file_name)
        schema = sset.files[file_name]
        key = (schema.target, name)
        if kind == "element":
            declaration, owner = sset.elements[key]
            complex_type, simple_type = self.element_type(sset, owner, declaration, element_name)
        else:
            node, owner = sset.complex_types[key]
            complex_type, simple_type = self.complex_index_of(sset, owner, node, element_name), -1
        if complex_type < 0 or simple_type >= 0:
            raise SchemaError(f"{file_name}: root {name} is not a complex type")
        self.roots.append((identifier, element_name, schema.target, complex_type, file_name))


def cpp_string(text):
    escaped = text.replace("\\", "\\\\").replace('"', '\\"')
    if any(ord(char) > 126 or ord(char) < 32 for char in escaped):
        raise SchemaError(f"non-ASCII text in the table: {text!r}")
    return f'"{escaped}"'


def write_table(builder, out):
    lines = [
        "// Generated by tools/generate_schema_table.py from the SII's XML schemas; do not edit.",
        "// Element orders, occurrences, namespaces and value types of the six binding roots.",
        "",
        "inline constexpr std::string_view kNamespaceUris[] = {",
    ]
    lines += [f"    {cpp_string(uri)}," for uri in NAMESPACES]
    lines += ["};", "", "inline constexpr std::string_view kEnumerations[] = {"]
    lines += [f"    {cpp_string(value)}," for value in builder.enumerations]
    lines += ["};", "", "// kind, length, min/max length, total/fraction digits, min/max inclusive,",
              "// pattern, first enumeration, enumeration count", "inline constexpr SimpleType "
              "kSimpleTypes[] = {"]
    for simple, first, count in builder.simple_rows:
        facets = simple.facets

        def number(name):
            return facets.get(name, "-1")

        lines.append(
            f"    {{Kind::{simple.kind}, {number('length')}, {number('minLength')}, "
            f"{number('maxLength')}, {number('totalDigits')}, {number('fractionDigits')}, "
            f"{cpp_string(facets.get('minInclusive', ''))}, "
            f"{cpp_string(facets.get('maxInclusive', ''))}, {cpp_string(simple.pattern)}, "
            f"{first}, {count}}},")
    lines += ["};", "", "// name, namespace, min, max, slot, choice min (-1 outside a choice),",
              "// complex type, simple type", "inline constexpr Particle kParticles[] = {"]
    first_particles, first_attributes, particles, attributes = [], [], [], []
    for where, row_particles, row_attributes, content in builder.complex_rows:
        first_particles.append(len(particles))
        particles.extend(row_particles)
        first_attributes.append(len(attributes))
        attributes.extend(row_attributes)
    for name, uri, low, high, slot, choice_min, complex_type, simple_type in particles:
        choice = -1 if choice_min is None else choice_min
        lines.append(f"    {{{cpp_string(name)}, Ns::{NS_CONSTANTS[uri]}, {low}, {high}, {slot}, "
                     f"{choice}, {complex_type}, {simple_type}}},")
    lines += ["};", "", "// name, simple type, required, fixed value (nullptr when not fixed)",
              "inline constexpr AttributeDecl kAttributes[] = {"]
    for name, simple_type, required, fixed in attributes:
        fixed_text = "nullptr" if fixed is None else cpp_string(fixed)
        lines.append(f"    {{{cpp_string(name)}, {simple_type}, {str(required).lower()}, "
                     f"{fixed_text}}},")
    lines += ["};", "", "// first particle, particle count, first attribute, attribute count,",
              "// simple content type (-1 for element-only or empty content)",
              "inline constexpr ComplexType kComplexTypes[] = {"]
    for index, (where, row_particles, row_attributes, content) in enumerate(builder.complex_rows):
        row = (f"    {{{first_particles[index]}, {len(row_particles)}, "
               f"{first_attributes[index]}, {len(row_attributes)}, {content}}},  // {index} ")
        # Long paths keep their tail, which names the element, so the file stays in 100 columns.
        room = 100 - len(row)
        lines.append(row + (where if len(where) <= room else "..." + where[-(room - 3):]))
    lines += ["};", "", "// binding root, element name, namespace, complex type, schema file",
              "inline constexpr RootDecl kRoots[] = {"]
    for identifier, element_name, uri, complex_type, file_name in builder.roots:
        lines.append(f"    {{RootKind::{identifier}, {cpp_string(element_name)}, "
                     f"Ns::{NS_CONSTANTS[uri]}, {complex_type}, {cpp_string(file_name)}}},")
    lines += ["};", ""]
    out.write("\n".join(lines))


# The repository root, so the defaults hold whatever the caller's working directory.
REPO_ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DEFAULT_FOLDER = os.path.join(REPO_ROOT, "schemas", "sii")
DEFAULT_OUTPUT = os.path.join(REPO_ROOT, "src", "binding", "schema_table.inc")


def main(argv):
    if len(argv) == 1:
        folder, output = DEFAULT_FOLDER, DEFAULT_OUTPUT
    elif len(argv) == 3:
        folder, output = argv[1], argv[2]
    else:
        sys.stderr.write(__doc__)
        return 2
    builder = Builder()
    try:
        for root in ROOTS:
            builder.add_root(folder, *root)
    except SchemaError as error:
        sys.stderr.write(f"generate_schema_table: {error}\n")
        return 1
    with open(output, "w", encoding="ascii", newline="\n") as out:
        write_table(builder, out)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
