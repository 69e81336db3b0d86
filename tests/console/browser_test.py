#!/usr/bin/env python3
"""The sandbox's console in a real browser: headless Chromium driven by Selenium logs in, lists
the documents an application sent, opens one, checks that its barcode image loaded and its PDF
link answers, that a name holding a script element shows as text, and that the list of recent
requests refreshes itself. Screenshots of each page go to the artefacts folder.

Usage: browser_test.py QUARLO_SANDBOX SEED_PROGRAM DATA_DIR ARTEFACTS_DIR
Exits 77 (skipped) only when Chromium or its driver is missing.
"""

import os
import shutil
import subprocess
import sys
import tempfile
import urllib.request

SKIP = 77
API_KEY = "llave-consola-navegador"
CHROMEDRIVER = "/usr/bin/chromedriver"
SCRIPT_NAME = "<script>alert('consola')</script> Comercial SpA"
WAIT_SECONDS = 15


def chromium_present():
    return os.access(CHROMEDRIVER, os.X_OK) and any(
        shutil.which(name) for name in ("chromium", "chromium-browser"))


def start_sandbox(binary, folder):
    """Starts quarlo-sandbox on a free port; returns the process and its base URL."""
    process = subprocess.Popen(
        [binary, "--port", "0", "--api-key", API_KEY, "--authority-key",
         os.path.join(folder, "authority.pem")],
        stdout=subprocess.PIPE, stderr=open(os.path.join(folder, "sandbox.log"), "wb"),
        text=True)
    line = process.stdout.readline()
    prefix = "quarlo-sandbox escuchando en "
    if not line.startswith(prefix):
        process.kill()
        raise RuntimeError("quarlo-sandbox no anunció su dirección: " + line)
    return process, line[len(prefix):].strip()


def issue_caf(binary, folder, rut, tipo):
    path = os.path.join(folder, "caf_%d.xml" % tipo)
    with open(path, "wb") as out:
        subprocess.run([binary, "caf", "--rut", rut, "--tipo", str(tipo), "--desde", "1",
                        "--hasta", "40", "--authority-key", os.path.join(folder, "authority.pem")],
                       stdout=out, check=True, timeout=60)
    return path


def new_browser():
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    options = webdriver.ChromeOptions()
    for argument in ("--headless=new", "--no-sandbox", "--disable-dev-shm-usage",
                     "--window-size=1280,860", "--lang=es-CL"):
        options.add_argument(argument)
    return webdriver.Chrome(service=Service(executable_path=CHROMEDRIVER), options=options)


def check(condition, message):
    if not condition:
        raise AssertionError(message)


def protocol_get(base, path):
    request = urllib.request.Request(base + path, headers={"AuthKey": API_KEY})
    with urllib.request.urlopen(request, timeout=10) as answer:
        return answer.status


def browse(driver, base, shots):
    from selenium.webdriver.common.by import By
    from selenium.webdriver.support import expected_conditions as seen
    from selenium.webdriver.support.ui import WebDriverWait
    wait = WebDriverWait(driver, WAIT_SECONDS)

    driver.get(base + "/consola/")
    wait.until(seen.presence_of_element_located((By.ID, "llave")))
    check(driver.current_url.endswith("/consola/entrar"), "sin sesión no se llega al formulario")
    driver.save_screenshot(os.path.join(shots, "entrar.png"))
    driver.find_element(By.ID, "llave").send_keys(API_KEY)
    driver.find_element(By.ID, "entrar").click()

    table = wait.until(seen.presence_of_element_located((By.ID, "documentos")))
    rows = table.find_elements(By.CSS_SELECTOR, "tbody tr")
    check(len(rows) == 5, "se esperaban 5 documentos y hay %d" % len(rows))
    check(API_KEY not in driver.page_source, "la llave aparece en la página")
    receivers = [cell.text for cell in table.find_elements(By.CSS_SELECTOR, "td.nombre")]
    check(any(SCRIPT_NAME in text for text in receivers),
          "el nombre con <script> no se ve como texto: %r" % receivers)
    check(not driver.find_elements(By.XPATH, "//main//script"), "un nombre se volvió elemento")
    driver.save_screenshot(os.path.join(shots, "documentos.png"))

    driver.find_element(By.XPATH, "//tr[td[contains(., 'alert(')]]//a[@class='folio']").click()
    image = wait.until(seen.presence_of_element_located((By.ID, "timbre")))
    wait.until(lambda d: d.execute_script("return arguments[0].complete;", image))
    width = driver.execute_script("return arguments[0].naturalWidth;", image)
    check(width > 0, "la imagen del timbre no cargó")
    check(SCRIPT_NAME in driver.find_element(By.TAG_NAME, "main").text,
          "la página del documento no muestra el nombre como texto")
    pdf = driver.find_element(By.ID, "pdf").get_attribute("href")
    status, kind = driver.execute_async_script(
        "const done = arguments[arguments.length - 1];"
        "fetch(arguments[0]).then(r => done([r.status, r.headers.get('content-type')]))"
        ".catch(e => done([0, String(e)]));", pdf)
    check(status == 200 and kind == "application/pdf",
          "el PDF respondió %s %s" % (status, kind))
    driver.save_screenshot(os.path.join(shots, "documento.png"))

    driver.get(base + "/consola/cafs")
    wait.until(seen.presence_of_element_located((By.ID, "cafs")))
    check("RSASK" not in driver.page_source, "la página de CAFs muestra una llave privada")
    driver.save_screenshot(os.path.join(shots, "cafs.png"))

    driver.get(base + "/consola/solicitudes")
    rows = wait.until(seen.presence_of_element_located((By.ID, "filas-solicitudes")))
    check("SendDTEDocument" in rows.text, "las solicitudes no muestran los envíos")
    check("GetFactorings" not in rows.text, "una solicitud aparece antes de llegar")
    check(protocol_get(base, "/GetFactorings") == 200, "GetFactorings falló")
    # The page refreshes itself: the new request appears without a reload.
    wait.until(lambda d: "GetFactorings" in d.find_element(By.ID, "filas-solicitudes").text)
    driver.save_screenshot(os.path.join(shots, "solicitudes.png"))

    driver.find_element(By.CSS_SELECTOR, "form.salir button").click()
    wait.until(seen.presence_of_element_located((By.ID, "llave")))
    driver.get(base + "/consola/documentos")
    check(driver.current_url.endswith("/consola/entrar"), "la sesión siguió tras salir")


def main():
    if len(sys.argv) != 5:
        print(__doc__, file=sys.stderr)
        return 2
    sandbox_binary, seed_binary, data_dir, shots = sys.argv[1:]
    if not chromium_present():
        print("chromium o chromedriver no están instalados: prueba omitida")
        return SKIP
    os.makedirs(shots, exist_ok=True)
    with tempfile.TemporaryDirectory() as folder:
        process, base = start_sandbox(sandbox_binary, folder)
        try:
            caf33 = issue_caf(sandbox_binary, folder, "76543210-3", 33)
            caf39 = issue_caf(sandbox_binary, folder, "76981442-6", 39)
            subprocess.run([seed_binary, base, API_KEY, data_dir, caf33, caf39], check=True,
                           timeout=120)
            driver = new_browser()
            try:
                browse(driver, base, shots)
            finally:
                driver.quit()
        except Exception:
            with open(os.path.join(folder, "sandbox.log"), encoding="utf-8",
                      errors="replace") as log:
                sys.stderr.write(log.read()[-4000:])
            raise
        finally:
            process.terminate()
            process.wait(timeout=30)
    print("consola probada en Chromium; capturas en " + shots)
    return 0


if __name__ == "__main__":
    sys.exit(main())
