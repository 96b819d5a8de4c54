// The site's shared files besides its pages: the rules its index pages and navigation lines add
// to the modern page's stylesheet, and the small script that sorts a board's table by column.
#pragma once

namespace horofu::site {

inline constexpr char kStyleAdditions[] =
    R"(nav.site{margin:.4em 0 1.2em;color:var(--muted)}
nav.site a{margin-right:.8em}
table.threads{border-collapse:collapse;width:100%}
table.threads th,table.threads td{padding:.25em .5em;border-bottom:1px solid var(--rule);text-align:left;vertical-align:top}
table.threads td.n{text-align:right;white-space:nowrap}
table.threads td.d{white-space:nowrap}
table.threads th[data-sort]{cursor:pointer}
.gone{color:var(--muted);font-size:.9em}
)";

// Sorting by a column header's click: numbers by their data-v, text as text. The table reads
// fully without it.
inline constexpr char kSortScript[] =
    R"(document.querySelectorAll("table.threads").forEach(function(t){
var hs=t.querySelectorAll("th[data-sort]");hs.forEach(function(h,i){h.addEventListener("click",function(){
var b=t.tBodies[0],rs=Array.prototype.slice.call(b.rows),up=h.getAttribute("aria-sort")!=="ascending";
hs.forEach(function(o){o.removeAttribute("aria-sort")});h.setAttribute("aria-sort",up?"ascending":"descending");
var k=function(r){var c=r.cells[i];var v=c.getAttribute("data-v");return v!==null?Number(v):c.textContent};
rs.sort(function(x,y){var a=k(x),c=k(y);var o=a<c?-1:a>c?1:0;return up?o:-o});rs.forEach(function(r){b.appendChild(r)})})})});
)";

}  // namespace horofu::site
