// The console's only script: the list of recent requests refreshes itself every 2 seconds, so that
// a developer watches a test run as it goes. Nothing else on the console needs a script.
"use strict";

(function () {
  const rows = document.getElementById("filas-solicitudes");
  if (!rows) return;
  const source = rows.dataset.fuente;
  async function refresh() {
    try {
      const answer = await fetch(source, {credentials: "same-origin", cache: "no-store"});
      // A session that ended sends the login form instead: the rows stay as they were.
      if (!answer.ok || answer.redirected) return;
      rows.innerHTML = await answer.text();
    } catch (error) {
      // The sandbox stopped; the next turn tries again.
    }
  }
  setInterval(refresh, 2000);
})();
