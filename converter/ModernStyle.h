// The modern page's stylesheet: light and dark colours, text kept as typed in a font that
// suits the boards' text art, and the previews shown while a reply link is hovered or focused.
#pragma once

namespace horofu::modern {

inline constexpr char kStyle[] =
    R"(:root{color-scheme:light dark;--bg:#fbfbf6;--fg:#1c1c1c;--muted:#666;--name:#217a21;--link:#1747a6;--box:#fff;--rule:#d6d6ca}
@media (prefers-color-scheme:dark){:root{--bg:#16171a;--fg:#e6e6e1;--muted:#9a9a9a;--name:#7fcf7f;--link:#8db4ff;--box:#24262b;--rule:#3b3d42}}
body{margin:0 auto;max-width:64em;padding:1em;background:var(--bg);color:var(--fg);font-family:"MS PGothic","ＭＳ Ｐゴシック","IPAMonaPGothic","IPA モナー Pゴシック","Monapo","Mona","Textar","Noto Sans CJK JP","Noto Sans JP",sans-serif;font-size:16px;line-height:1.45}
h1{font-size:1.35em;margin:.2em 0 1em}
a{color:var(--link)}
.post{margin:0 0 1.1em}
.ph{color:var(--muted)}
.ph .num{color:var(--fg);font-weight:bold}
.name{color:var(--name);font-weight:bold}
.trip{color:var(--name)}
.count,.refs{font-size:.9em}
.lead,.text{position:relative;margin:.15em 0 0 1.6em;white-space:pre-wrap;overflow-wrap:anywhere}
.lead{margin-left:0}
.pv{display:none;position:absolute;z-index:1;left:0;max-width:min(36em,90vw);padding:.35em .6em;background:var(--box);color:var(--fg);border:1px solid var(--rule);border-radius:4px;box-shadow:0 2px 8px rgba(0,0,0,.3);white-space:pre-wrap}
.re:hover+.pv,.re:focus+.pv,.pv:hover{display:block}
)"
    // --- What a post is and what its header holds beyond a name and date: deleted and broken
    // posts, the board's own posts, filtered posts, caps and badges.
    R"(.deleted .text,.filtered{color:var(--muted)}
.board{border-left:3px solid var(--rule);padding-left:.5em}
.note{font-size:.85em;border:1px solid var(--rule);border-radius:3px;padding:0 .3em;margin-left:.4em}
.cap{color:var(--name);font-weight:bold}
.badge{font-size:.75em;border:1px solid var(--rule);border-radius:3px;padding:0 .25em}
)";

}  // namespace horofu::modern
