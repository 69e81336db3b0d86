#!/usr/bin/env python3
"""Writes tests/data/wild/: documents in the byte-level forms that received files take.

Files handed over by other systems differ from what the library writes in ways a loader must
survive: legacy encodings (ISO-8859-1, windows-1252), single-quoted declarations, comments, CRLF
line ends and tabs, signatures with line-wrapped Base64, empty elements, a root without namespace,
and envelopes holding several signed documents. Every company is made up; RUT check digits,
totals and the TED's DD data are computed here so that they agree with the document. Keys and
signatures are dummy Base64 of the right shape, derived from a fixed seed so that a run gives the
same bytes every time:

    python3 tools/make_wild_test_files.py [OUTPUT_FOLDER]

The folder defaults to the repository's tests/data/wild/.
"""

import base64
import hashlib
import os
import sys

REPO_ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DEFAULT_FOLDER = os.path.join(REPO_ROOT, "tests", "data", "wild")

SII_DTE = "http://www.sii.cl/SiiDte"
XMLDSIG = "http://www.w3.org/2000/09/xmldsig#"


def rut(body):
    """The RUT with its modulo-11 check digit."""
    total, factor = 0, 2
    for digit in reversed(str(body)):
        total += int(digit) * factor
        factor = 2 if factor == 7 else factor + 1
    rest = 11 - total % 11
    check = "0" if rest == 11 else "K" if rest == 10 else str(rest)
    return f"{body}-{check}"


def dummy_base64(label, size, wrap=0):
    """Deterministic bytes of that size, Base64-encoded, optionally wrapped at `wrap` columns."""
    data, block = b"", label.encode()
    while len(data) < size:
        block = hashlib.sha256(block).digest()
        data += block
    text = base64.b64encode(data[:size]).decode()
    if wrap:
        text = "\n".join(text[i:i + wrap] for i in range(0, len(text), wrap))
    return text


# A tree is (name, attributes, children) where children is a text, None (empty element) or a
# list of trees; a child may also be ("#comment", text).
def el(name, children=None, **attributes):
    return (name, attributes, children)


def comment(text):
    return ("#comment", text, None)


def escape(text):
    return text.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")


class Style:
    def __init__(self, encoding="ISO-8859-1", quote='"', newline="\n", indent="  ",
                 declaration=True):
        self.encoding, self.quote, self.newline = encoding, quote, newline
        self.indent, self.declaration = indent, declaration


def render(tree, style, depth=0):
    pad = style.indent * depth
    name, attributes, children = tree
    if name == "#comment":
        return [f"{pad}<!--{attributes}-->"]
    attrs = "".join(f' {key.replace("_", ":")}="{escape(value)}"'
                    for key, value in attributes.items())
    if children is None:
        return [f"{pad}<{name}{attrs}/>"]
    if isinstance(children, str):
        # Base64 wrapped over several lines keeps its line ends, as signers write it.
        text = escape(children).replace("\n", style.newline)
        return [f"{pad}<{name}{attrs}>{text}</{name}>"]
    lines = [f"{pad}<{name}{attrs}>"]
    for child in children:
        lines += render(child, style, depth + 1)
    lines.append(f"{pad}</{name}>")
    return lines


def document_bytes(tree, style):
    lines = []
    if style.declaration:
        q = style.quote
        lines.append(f"<?xml version={q}1.0{q} encoding={q}{style.encoding}{q}?>")
    lines += render(tree, style)
    text = style.newline.join(lines) + style.newline
    return text.encode(style.encoding)


def signature(reference, label, wrap=0):
    """An xmldsig Signature in the SII's restricted form, with dummy values."""
    return el("Signature", [
        el("SignedInfo", [
            el("CanonicalizationMethod", None,
               Algorithm="http://www.w3.org/TR/2001/REC-xml-c14n-20010315"),
            el("SignatureMethod", None, Algorithm=XMLDSIG + "rsa-sha1"),
            el("Reference", [
                el("Transforms", [el("Transform", None,
                                     Algorithm="http://www.w3.org/TR/2001/REC-xml-c14n-20010315")]),
                el("DigestMethod", None, Algorithm=XMLDSIG + "sha1"),
                el("DigestValue", dummy_base64(label + "/digest", 20)),
            ], URI="#" + reference),
        ]),
        el("SignatureValue", dummy_base64(label + "/value", 128, wrap)),
        el("KeyInfo", [
            el("KeyValue", [el("RSAKeyValue", [
                el("Modulus", dummy_base64(label + "/modulus", 128, wrap)),
                el("Exponent", "AQAB"),
            ])]),
            el("X509Data", [el("X509Certificate", dummy_base64(label + "/cert", 780, wrap))]),
        ]),
    ], xmlns=XMLDSIG)


class Company:
    def __init__(self, body, name, giro, address, comuna, acteco=None):
        self.rut, self.name, self.giro = rut(body), name, giro
        self.address, self.comuna, self.acteco = address, comuna, acteco


def ted(kind, folio, date, emisor, rut_recep, razon_recep, total, first_item, rango, stamp):
    label = f"{emisor.rut}/{kind}/{folio}"
    return el("TED", [
        el("DD", [
            el("RE", emisor.rut), el("TD", str(kind)), el("F", str(folio)), el("FE", date),
            el("RR", rut_recep), el("RSR", razon_recep[:40]), el("MNT", str(total)),
            el("IT1", first_item[:40]),
            el("CAF", [
                el("DA", [
                    el("RE", emisor.rut), el("RS", emisor.name.upper()[:40]), el("TD", str(kind)),
                    el("RNG", [el("D", str(rango[0])), el("H", str(rango[1]))]),
                    el("FA", "2024-03-14"),
                    el("RSAPK", [el("M", dummy_base64(label + "/caf-m", 64)), el("E", "Aw==")]),
                    el("IDK", "300"),
                ]),
                el("FRMA", dummy_base64(label + "/frma", 64), algoritmo="SHA1withRSA"),
            ], version="1.0"),
            el("TSTED", stamp),
        ]),
        el("FRMT", dummy_base64(label + "/frmt", 64), algoritmo="SHA1withRSA"),
    ], version="1.0")


def iva(neto):
    return (neto * 19 + 50) // 100


def dte(kind, folio, date, emisor, receptor, items, stamp, rango, references=(),
        exento=False, wrap=0, before_documento=(), ns=True, extra_detail=None):
    """A signed DTE whose totals and TED follow from its items (name, description, qty, price)."""
    details, neto = [], 0
    for line, (name, description, qty, price) in enumerate(items, start=1):
        amount = qty * price
        neto += amount
        detail = [el("NroLinDet", str(line))]
        if exento:
            detail.append(el("IndExe", "1"))
        detail.append(el("NmbItem", name))
        if description is not None:
            detail.append(el("DscItem", description or None))
        detail += [el("QtyItem", str(qty)), el("PrcItem", str(price)),
                   el("MontoItem", str(amount))]
        if extra_detail:
            detail = extra_detail(line, detail)
        details.append(el("Detalle", detail))
    if exento:
        totals, total = [el("MntExe", str(neto)), el("MntTotal", str(neto))], neto
    else:
        total = neto + iva(neto)
        totals = [el("MntNeto", str(neto)), el("TasaIVA", "19"), el("IVA", str(iva(neto))),
                  el("MntTotal", str(total))]
    emisor_children = [el("RUTEmisor", emisor.rut), el("RznSoc", emisor.name),
                       el("GiroEmis", emisor.giro), el("Acteco", emisor.acteco),
                       el("DirOrigen", emisor.address), el("CmnaOrigen", emisor.comuna),
                       el("CiudadOrigen", "Santiago")]
    receptor_children = [el("RUTRecep", receptor.rut), el("RznSocRecep", receptor.name),
                         el("GiroRecep", receptor.giro), el("DirRecep", receptor.address),
                         el("CmnaRecep", receptor.comuna), el("CiudadRecep", "Santiago")]
    doc_id = f"F{folio}T{kind}"
    id_doc = [el("TipoDTE", str(kind)), el("Folio", str(folio)), el("FchEmis", date)]
    if kind != 61:
        id_doc.append(el("FmaPago", "1"))
    documento = el("Documento", [
        el("Encabezado", [el("IdDoc", id_doc), el("Emisor", emisor_children),
                          el("Receptor", receptor_children), el("Totales", totals)]),
        *details,
        *[el("Referencia", r) for r in references],
        ted(kind, folio, date, emisor, receptor.rut, receptor.name, total, items[0][0], rango,
            stamp),
        el("TmstFirma", stamp),
    ], ID=doc_id)
    attributes = {"xmlns": SII_DTE, "version": "1.0"} if ns else {"version": "1.0"}
    return el("DTE", [*before_documento, documento,
                      signature(doc_id, f"{emisor.rut}/{doc_id}", wrap)], **attributes)


def boleta(folio, date, emisor, items, stamp):
    """A signed boleta 39: item prices include IVA, the totals split it out."""
    details, total = [], 0
    for line, (name, qty, price) in enumerate(items, start=1):
        total += qty * price
        details.append(el("Detalle", [el("NroLinDet", str(line)), el("NmbItem", name),
                                      el("QtyItem", str(qty)), el("PrcItem", str(price)),
                                      el("MontoItem", str(qty * price))]))
    neto = (total * 100 + 59) // 119
    doc_id = f"B{folio}T39"
    final = "66666666-6"
    documento = el("Documento", [
        el("Encabezado", [
            el("IdDoc", [el("TipoDTE", "39"), el("Folio", str(folio)), el("FchEmis", date),
                         el("IndServicio", "3")]),
            el("Emisor", [el("RUTEmisor", emisor.rut), el("RznSocEmisor", emisor.name),
                          el("GiroEmisor", emisor.giro), el("DirOrigen", emisor.address),
                          el("CmnaOrigen", emisor.comuna), el("CiudadOrigen", "Santiago")]),
            el("Receptor", [el("RUTRecep", final), el("RznSocRecep", "Consumidor final")]),
            el("Totales", [el("MntNeto", str(neto)), el("IVA", str(total - neto)),
                           el("MntTotal", str(total))]),
        ]),
        *details,
        ted(39, folio, date, emisor, final, "Consumidor final", total, items[0][0],
            (8001, 9000), stamp),
        el("TmstFirma", stamp),
    ], ID=doc_id)
    return el("DTE", [documento, signature(doc_id, f"{emisor.rut}/{doc_id}")], version="1.0")


def envelope(root, emisor, documents, counts, stamp, version):
    """An envelope whose cover counts `documents` per type, signed over its SetDTE."""
    caratula = el("Caratula", [
        el("RutEmisor", emisor.rut), el("RutEnvia", rut(13254876)),
        el("RutReceptor", "60803000-K"), el("FchResol", "2014-08-22"), el("NroResol", "0"),
        el("TmstFirmaEnv", stamp),
        *[el("SubTotDTE", [el("TpoDTE", str(kind)), el("NroDTE", str(number))])
          for kind, number in counts],
    ], version="1.0")
    return el(root, [el("SetDTE", [caratula, *documents], ID="SetDoc"),
                     signature("SetDoc", f"{emisor.rut}/{root}")],
              xmlns=SII_DTE, xmlns_xsi="http://www.w3.org/2001/XMLSchema-instance",
              xsi_schemaLocation=f"{SII_DTE} {root}_v{version}.xsd", version="1.0")


def inner(tree):
    """A DTE as it sits in an envelope: the namespace comes from the envelope."""
    name, attributes, children = tree
    return (name, {k: v for k, v in attributes.items() if k != "xmlns"}, children)


LARRAIN = Company(76123457, "Distribuidora Larraín y Compañía Limitada",
                  "Distribución de artículos de librería",
                  "Av. Irarrázaval N° 123, oficina 4", "Ñuñoa", "466901")
CORPORACION = Company(71234569, "Corporación Educacional San Ñuñoa",
                      "Enseñanza básica y media", "José Domingo Cañas N° 2150", "Ñuñoa", "852100")
TORRES = Company(77889901, "Servicios Informáticos Torres del Paine SpA",
                 "Desarrollo de software y asesoría", "Los Leones 1180, piso 7",
                 "Providencia", "620100")
QUINTA = Company(65432109, "Fundación Quinta Normal", "Actividades culturales",
                 "Matucana 520", "Santiago", "949900")
PANADERIA = Company(76555444, "Panadería La Espiga de Ñuñoa SpA",
                    "Elaboración y venta de pan y pasteles", "Av. Grecia 2010", "Ñuñoa", "107100")

ISO = Style()
CP1252 = Style(encoding="windows-1252")
UTF8 = Style(encoding="UTF-8")

REF_OC = [el("NroLinRef", "1"), el("TpoDocRef", "801"), el("FolioRef", "OC-4471"),
          el("FchRef", "2024-06-28"), el("RazonRef", "Orden de compra N° 4471")]


def factura_iso():
    return dte(33, 812, "2024-07-03", LARRAIN, CORPORACION,
               [("Resma papel carta 75 g", "Caja de 10 resmas, marca Ñandú", 12, 32990),
                ("Archivador lomo ancho oficio", None, 40, 2150)],
               "2024-07-03T09:41:07", (801, 900), references=[REF_OC])


def factura_cp1252():
    return dte(33, 2207, "2024-07-04", TORRES, QUINTA,
               [("Licencia “Gestor Cultural” – anual € 480", "Plan ‘Museo’ – hasta 5 usuarios",
                 1, 412000),
                ("Soporte remoto – 10 horas", "Atención “en línea” – lunes a viernes", 10, 28500)],
               "2024-07-04T16:02:55", (2201, 2300))


def nota_credito_single_quoted():
    reference = [el("NroLinRef", "1"), el("TpoDocRef", "33"), el("FolioRef", "812"),
                 el("FchRef", "2024-07-03"), el("CodRef", "3"),
                 el("RazonRef", "Devolución de 2 resmas dañadas")]
    return dte(61, 97, "2024-07-08", LARRAIN, CORPORACION,
               [("Resma papel carta 75 g", "Devolución, embalaje dañado", 2, 32990)],
               "2024-07-08T11:20:00", (51, 150), references=[reference])


def exenta_comment_crlf_tabs():
    return dte(34, 3301, "2024-07-05", CORPORACION, LARRAIN,
               [("Curso de capacitación en ofimática", "Modalidad presencial, 16 horas", 1,
                 240000)],
               "2024-07-05T08:00:12", (3301, 3400), exento=True,
               before_documento=[comment(" Documento generado por el sistema de matrícula ")])


def factura_wrapped_signature():
    return dte(33, 2208, "2024-07-06", TORRES, LARRAIN,
               [("Mantención de servidores julio", "Incluye respaldo diario", 1, 350000)],
               "2024-07-06T10:10:10", (2201, 2300), wrap=76)


def factura_empty_elements():
    return dte(33, 813, "2024-07-07", LARRAIN, TORRES,
               [("Tóner láser negro", "", 3, 45990), ("Corchetera metálica", "", 5, 6490)],
               "2024-07-07T12:30:45", (801, 900))


def factura_without_namespace():
    return dte(33, 814, "2024-07-09", LARRAIN, QUINTA,
               [("Cuaderno universitario 100 hojas", "Tapa dura, colores surtidos", 60, 1890)],
               "2024-07-09T15:45:00", (801, 900), ns=False)


def envio_dte():
    documents = [
        dte(33, 815, "2024-07-10", LARRAIN, CORPORACION,
            [("Lápiz pasta azul caja 50", None, 10, 7490)], "2024-07-10T09:00:00", (801, 900)),
        dte(33, 816, "2024-07-10", LARRAIN, TORRES,
            [("Pizarra acrílica 120 x 90 cm", "Con atril y borrador", 2, 54990)],
            "2024-07-10T09:05:00", (801, 900)),
        dte(61, 98, "2024-07-10", LARRAIN, CORPORACION,
            [("Lápiz pasta azul caja 50", "Corrección de precio", 10, 500)],
            "2024-07-10T09:10:00", (51, 150),
            references=[[el("NroLinRef", "1"), el("TpoDocRef", "33"), el("FolioRef", "815"),
                         el("FchRef", "2024-07-10"), el("CodRef", "3"),
                         el("RazonRef", "Corrige precio unitario")]]),
    ]
    return envelope("EnvioDTE", LARRAIN, [inner(d) for d in documents], [(33, 2), (61, 1)],
                    "2024-07-10T09:15:00", "10")


def envio_boleta():
    documents = [
        boleta(8123, "2024-07-11", PANADERIA,
               [("Marraqueta", 2, 1990), ("Kuchen de nuez", 1, 7500)], "2024-07-11T08:01:00"),
        boleta(8124, "2024-07-11", PANADERIA, [("Hallulla", 1, 1890)], "2024-07-11T08:03:00"),
    ]
    return envelope("EnvioBOLETA", PANADERIA, documents, [(39, 2)], "2024-07-11T20:00:00", "11")


FILES = [
    ("dte_33_iso_8859_1.xml", factura_iso, ISO),
    ("dte_33_windows_1252.xml", factura_cp1252, CP1252),
    ("dte_61_single_quoted.xml", nota_credito_single_quoted, Style(quote="'")),
    ("dte_34_comment_crlf_tabs.xml", exenta_comment_crlf_tabs,
     Style(encoding="UTF-8", newline="\r\n", indent="\t")),
    ("dte_33_wrapped_signature.xml", factura_wrapped_signature, UTF8),
    ("dte_33_empty_elements.xml", factura_empty_elements, UTF8),
    ("dte_33_without_namespace.xml", factura_without_namespace, UTF8),
    ("envio_dte_iso_8859_1.xml", envio_dte, ISO),
    ("envio_boleta.xml", envio_boleta, ISO),
]


def main(argv):
    folder = argv[1] if len(argv) > 1 else DEFAULT_FOLDER
    os.makedirs(folder, exist_ok=True)
    for file_name, build, style in FILES:
        with open(os.path.join(folder, file_name), "wb") as out:
            out.write(document_bytes(build(), style))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
