#!/usr/bin/env bash
# Runs every example program, in the order a user would, against the sandbox that
# scripts/with-sandbox.sh started. Usage: run-examples.sh EXAMPLES_BIN_DIR EXAMPLES_DATA_DIR
set -euo pipefail
bin="$(realpath "$1")"
data="$(realpath "$2")"
rut=76543210-3
cd "$QUARLO_WORKDIR"

# Without the service's variables every example says which one is missing and ends with 2.
for example in inicio_rapido factura boleta_desde_xml estado_y_seguimiento descargar_pdf \
  libro_ventas subir_caf; do
  for missing in QUARLO_URI QUARLO_API_KEY; do
    status=0
    env -u "$missing" "$bin/$example" "$data/boleta.xml" 33 1 x >/dev/null 2>missing.err || status=$?
    if [ "$status" -ne 2 ] || ! grep -q "QUARLO_" missing.err; then
      echo "$example sin $missing: estado $status, $(cat missing.err)" >&2
      exit 1
    fi
  done
done

for tipo in 33 39; do
  "$QUARLO_SANDBOX" caf --rut "$rut" --razon-social "Comercializadora Ñuñoa Ltda." --tipo "$tipo" \
    --desde 1 --hasta 500 --authority-key "$QUARLO_AUTHORITY_KEY" >"caf$tipo.xml"
  "$bin/subir_caf" "caf$tipo.xml"
done
"$bin/inicio_rapido" >/dev/null
"$bin/factura" factura_pdf417.png
"$bin/boleta_desde_xml" "$data/boleta.xml"
"$bin/estado_y_seguimiento" "$rut" 33 1
"$bin/descargar_pdf" "$rut" 33 1 factura.pdf
head -c 5 factura.pdf | grep -q '%PDF-'
"$bin/libro_ventas" "$data/libro_ventas.xml" "$rut" 2024-05
# The outbox numbers boletas from a CAF of its own: first with no service named (the boleta is
# issued and queued, exit 2), then with it (both boletas and the CAF delivered).
"$QUARLO_SANDBOX" caf --rut "$rut" --razon-social "Comercializadora Ñuñoa Ltda." --tipo 39 \
  --desde 501 --hasta 600 --authority-key "$QUARLO_AUTHORITY_KEY" >caf39_bandeja.xml
status=0
env -u QUARLO_URI "$bin/sin_conexion" bandeja.db caf39_bandeja.xml boleta_501.png || status=$?
[ "$status" -eq 2 ]
head -c 4 boleta_501.png | grep -q PNG
"$bin/sin_conexion" bandeja.db caf39_bandeja.xml boleta_502.png
"$bin/estado_y_seguimiento" "$rut" 39 501 >/dev/null
"$bin/estado_y_seguimiento" "$rut" 39 502 >/dev/null
echo "Todos los ejemplos terminaron bien."
