// The page's style sheet and script, as fixed texts.
#ifndef PHOTOCHECK_PAGE_PAGE_SCRIPT_H
#define PHOTOCHECK_PAGE_PAGE_SCRIPT_H

// Screen (wide: the map beside its list; narrow, a phone: the map the full
// width, the lists below) and print (the verdict, the flagged table and the
// map on the first page; the groups and settings after). The dots keep
// their size on the screen as the map is zoomed (--z: the zoom factor).
inline constexpr char kPageStyle[] =
    "body{font:14px/1.35 sans-serif;margin:.5em 1.2em;color:#222}"
    "h1{font-size:1.45em;margin:.2em 0}h1.pass{color:#2a7d2a}h1.fail{color:#b00}"
    "h2{font-size:1.15em;margin:.8em 0 .3em}"
    ".meta{color:#555;margin:.1em 0;overflow-wrap:anywhere}"
    "#lang{float:right;font-size:1em}"
    "table{border-collapse:collapse}"
    "td,th{padding:2px 8px;border-bottom:1px solid #ddd;text-align:left;vertical-align:top}"
    ".counts td{padding:1px 8px}.counts td+td{text-align:right}"
    ".flagged td:first-child{overflow-wrap:break-word;min-width:8em}"
    ".flagged td:nth-child(2){white-space:nowrap}"
    "[data-i]{cursor:pointer}[data-i]:hover{text-decoration:underline}.hl{background:#ff0}"
    ".map{display:flex;gap:1em;align-items:flex-start}"
    ".map svg{flex:1 1 0;min-width:0;width:100%;height:auto;max-height:85vh;border:1px solid "
    "#999;background:#fafafa;touch-action:none;cursor:grab}"
    ".side{flex:0 0 22em;max-height:85vh;overflow:auto}"
    "#info{border:1px solid #ccc;padding:.3em .5em;margin-bottom:.5em;overflow-wrap:anywhere}"
    ".t{fill:none;stroke:#bbb;stroke-width:calc(1px/var(--z,1))}"
    "circle{stroke:#fff;stroke-width:calc(1px/var(--z,1));r:calc(4px/var(--z,1))}"
    "circle.p{fill:#999}circle.f{r:calc(8px/var(--z,1))}"
    "circle.m{stroke:#000;stroke-width:calc(2.5px/var(--z,1))}"
    "circle.hl{stroke:#000;stroke-width:calc(4px/var(--z,1));r:calc(12px/var(--z,1))}"
    ".key{display:inline-block;width:.8em;height:.8em;border-radius:50%;margin-right:.3em}"
    "details{margin:.2em 0}ol{margin:.2em 0;padding-left:3.5em}"
    "@media (max-width:760px){body{margin:.4em}.map{display:block}.map svg{max-height:none}"
    ".side{max-height:none}td,th{padding:2px 4px}.flagged td:nth-child(2){white-space:normal}}"
    "@media print{#lang,#reset,.hint,.side{display:none}body{margin:0;font-size:10px}"
    ".map svg{max-height:11cm;width:auto;max-width:100%}#checks{break-before:page}}";

// The page's behaviour: the language (the browser's, Chinese unless it is
// English; W holds the words, K the check names' places in it), a name
// clicked highlights its dot and shows its details, a dot clicked highlights
// its rows, and the map zooms (wheel, pinch), pans (drag) and resets.
inline constexpr char kPageScript[] =
    "(function(){var d=document,sv=d.getElementById('m'),cur='zh';"
    "function lang(l){cur=l;d.documentElement.lang=l=='en'?'en':'zh-CN';var w=W[l];"
    "d.querySelectorAll('[data-t]').forEach(function(n){n.textContent=w[+n.getAttribute('data-"
    "t')]})}"
    "var nl=(navigator.languages&&navigator.languages[0])||navigator.language||'';"
    "if(/^en/i.test(nl))lang('en');"
    "d.getElementById('lang').onclick=function(){lang(cur=='zh'?'en':'zh')};"
    "function el(t,x){var n=d.createElement(t);n.textContent=x;return n}"
    "function clear(){d.querySelectorAll('.hl').forEach(function(n){n.classList.remove('hl')})}"
    // The details of photo i, made from what the page shows of it.
    "function show(i){var info=d.getElementById('info');if(!info)return;"
    "var rows=d.querySelectorAll('[data-i=\"'+i+'\"]'),c=d.getElementById('d'+i),w=W[cur];"
    "info.textContent='';var r=rows[0];if(!r&&!c)return;"
    "info.appendChild(el('b',c?c.getAttribute('data-n'):(r.querySelector('.n')||r).textContent));"
    "K.forEach(function(k,row){var s=d.getElementById('k'+row),o=s&&s.querySelector('.rest');"
    "if(!s||!s.querySelector('.v'))return;var li=s.querySelector('li[data-i=\"'+i+'\"]'),"
    "v=li?li.closest('details').querySelector('.v'):o;"
    "if(v)info.appendChild(el('div',w[k]+': '+v.textContent))});"
    "if(c){info.appendChild(el('div',w[P]+': '+c.getAttribute('data-p')));"
    "if(c.getAttribute('data-c'))info.appendChild(el('div',w[C]+': '+c.getAttribute('data-c'"
    ")))}}"
    "var moved=0;"
    "d.addEventListener('click',function(e){var t=e.target;"
    "if(t.tagName=='circle'&&t.id){if(moved>6)return;var i=t.id.slice(1);clear();"
    "t.classList.add('hl');t.parentNode.appendChild(t);"
    "d.querySelectorAll('[data-i=\"'+i+'\"]').forEach(function(n){n.classList.add('hl');"
    "var o=n.closest('details');if(o)o.open=true});show(i);return}"
    "var r=t.closest('[data-i]');if(!r)return;var i=r.getAttribute('data-i');clear();"
    "r.classList.add('hl');show(i);var c=d.getElementById('d'+i);"
    "if(c){c.classList.add('hl');c.parentNode.appendChild(c);"
    "sv.scrollIntoView({block:'nearest'})}});"
    "if(!sv)return;"
    // Zoom and pan by the viewBox: v is what is shown, v0 the whole map.
    "var b=sv.viewBox.baseVal,v0={x:b.x,y:b.y,w:b.width,h:b.height},v=Object.assign({},v0);"
    "function apply(){sv.setAttribute('viewBox',v.x+' '+v.y+' '+v.w+' '+v.h);"
    "sv.style.setProperty('--z',v0.w/v.w)}"
    "function unit(){var r=sv.getBoundingClientRect();return Math.max(v.w/r.width,v.h/r.height)}"
    "function at(x,y){var r=sv.getBoundingClientRect(),s=unit();"
    "return{x:v.x+(x-r.left-(r.width-v.w/s)/2)*s,y:v.y+(y-r.top-(r.height-v.h/s)/2)*s}}"
    "function zoom(f,x,y){var p=at(x,y),w=Math.min(Math.max(v.w/f,v0.w/1000),v0.w*4);f=v.w/w;"
    "v.x=p.x-(p.x-v.x)/f;v.y=p.y-(p.y-v.y)/f;v.w/=f;v.h/=f;apply()}"
    "sv.addEventListener('wheel',function(e){e.preventDefault();"
    "zoom(Math.exp(-e.deltaY*(e.deltaMode?0.05:0.002)),e.clientX,e.clientY)},{passive:false});"
    "var ps=new Map();"
    "sv.addEventListener('pointerdown',function(e){ps.set(e.pointerId,{x:e.clientX,y:e.clientY});"
    "if(ps.size==1)moved=0});"
    "sv.addEventListener('pointermove',function(e){var o=ps.get(e.pointerId);if(!o)return;"
    "var n={x:e.clientX,y:e.clientY};if(ps.size==1){var s=unit();v.x-=(n.x-o.x)*s;"
    "v.y-=(n.y-o.y)*s;moved+=Math.abs(n.x-o.x)+Math.abs(n.y-o.y);apply()}else{"
    "var q;ps.forEach(function(p,k){if(k!=e.pointerId)q=p});"
    "var d0=Math.hypot(o.x-q.x,o.y-q.y),d1=Math.hypot(n.x-q.x,n.y-q.y);moved+=99;"
    "if(d0>0)zoom(d1/d0,(n.x+q.x)/2,(n.y+q.y)/2)}ps.set(e.pointerId,n)});"
    "['pointerup','pointercancel','pointerleave'].forEach(function(k){"
    "sv.addEventListener(k,function(e){ps.delete(e.pointerId)})});"
    "d.getElementById('reset').onclick=function(){v=Object.assign({},v0);apply()};"
    "})();";

#endif  // PHOTOCHECK_PAGE_PAGE_SCRIPT_H
