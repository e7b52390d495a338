// SPDX-License-Identifier: GPL-3.0-or-later
// The service page as someone on the way may change it: it asks for new
// windows by itself (the call links, a scheme of its own, a file, a web
// page) and adds links of those kinds. Each round is reported to the web
// server, so a test knows how many have passed.
(function () {
  var user = location.origin + "/user/";
  var asks = [user + "ip_call.php?x=1&n=10086110001", user + "bridge_call.php?x=2&n=10086110001",
              "ravelo-test-scheme:payload", "file:///etc/hostname", location.origin + "/user_reg.php?op=script"];
  var round = 0;
  setInterval(function () {
    asks.forEach(function (a) { window.open(a); });
    new Image().src = user + "client_start.php?f=round&n=" + (++round);
  }, 400);
  var links = document.createElement("p");
  links.innerHTML = '<a href="ravelo-test-scheme:clicked">自定义协议</a>　' +
    '<a href="ravelo-test-scheme:blank" target="_blank">自定义新窗口</a>　' +
    '<a href="file:///etc/hostname" target="_blank">本机文件</a>';
  document.querySelector("main").appendChild(links);
})();
