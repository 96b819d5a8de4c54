// The modern page's optional script. The page works without it (hover and keyboard focus
// show previews, links jump); with it a tap shows a preview instead of jumping at once, a
// preview opens upward where there is no room below it, and Escape hides a preview.
#pragma once

namespace horofu::modern {

// A tap on a reply link opens its preview as a popover; a second tap on the link, or the
// post number in the preview, follows it; a tap elsewhere, a jump or going Back closes it.
inline constexpr char kScript[] =
    R"((()=>{const d=document;let open=null,by=null;
const pv=a=>{const p=a&&a.nextElementSibling;return p&&p.classList.contains('pv')?p:null};
const re=e=>e.target.closest?e.target.closest('.re'):null;
const hide=()=>{if(open&&open.matches(':popover-open'))open.hidePopover();open=by=null};
d.addEventListener('click',e=>{const a=re(e),p=pv(a);
if(a&&a===by){hide();return}
if(e.target.closest&&e.target.closest('.pv:popover-open'))return;
hide();
if(!p||e.pointerType!=='touch'||!p.showPopover)return;
e.preventDefault();p.popover='manual';
try{p.showPopover({source:a})}catch(x){p.showPopover()}
open=p;by=a});
addEventListener('hashchange',hide);addEventListener('pageshow',hide);
const place=e=>{const a=re(e),p=pv(a);if(!p||p===open)return;
p.classList.remove('up');p.style.top='';p.style.display='block';
const r=a.getBoundingClientRect(),h=p.offsetHeight,c=p.offsetParent.getBoundingClientRect();
p.style.display='';
if(r.bottom+h>innerHeight&&r.top>=h){p.classList.add('up');p.style.top=(r.top-c.top-h)+'px'}};
d.addEventListener('mouseover',place);d.addEventListener('focusin',place);
d.addEventListener('keydown',e=>{if(e.key!=='Escape')return;hide();
for(const x of d.querySelectorAll('.re:hover,.re:focus,.pv:hover'))(x.classList.contains('pv')?x.previousElementSibling:x).classList.add('hush')});
const calm=e=>{const a=re(e);if(a)a.classList.remove('hush')};
d.addEventListener('mouseout',calm);d.addEventListener('focusout',calm)})();
)";

}  // namespace horofu::modern
