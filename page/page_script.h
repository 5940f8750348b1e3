// The page's style sheet and the script of its lists, as fixed texts (the
// map's script is in map_script.h; the page carries kPageScript, then
// kMapScript, in one function).
#ifndef PHOTOCHECK_PAGE_PAGE_SCRIPT_H
#define PHOTOCHECK_PAGE_PAGE_SCRIPT_H

// Screen (wide: the map beside its list; with readiness, the lists and the
// map side by side on the first screen; narrow, a phone: the map the full
// width, the lists below) and print (the verdict, the flagged table, where
// held-back rows are said as a count, and the map on the first page, above
// the lists with readiness; the groups and settings after). The map's canvas
// keeps the drawing's shape (its aspect-ratio is set where it stands).
inline constexpr char kPageStyle[] =
    "body{font:14px/1.35 sans-serif;margin:.5em 1.2em;color:#222}"
    "h1{font-size:1.45em;margin:.2em 0}h1.pass{color:#2a7d2a}h1.fail{color:#b00}"
    ".rv{font-size:1.45em;font-weight:bold;margin:.2em 0}.rv.ok{color:#2a7d2a}"
    ".rv.risk{color:#b00}.rv.unknown{color:#a60}"
    "header h1,header .rv{display:inline-block;margin-right:1.2em}"
    "h2{font-size:1.15em;margin:.8em 0 .3em}"
    ".meta{color:#555;margin:.1em 0;overflow-wrap:anywhere}"
    "#lang{float:right;font-size:1em}"
    "table{border-collapse:collapse}"
    "td,th{padding:2px 8px;border-bottom:1px solid #ddd;text-align:left;vertical-align:top}"
    ".counts td{padding:1px 8px}.counts td+td{text-align:right}"
    ".flagged td:first-child{overflow-wrap:break-word;min-width:8em}"
    ".flagged td:nth-child(2){white-space:nowrap}"
    "[data-i]{cursor:pointer}[data-i]:hover{text-decoration:underline}.hl{background:#ff0}"
    ".more{margin:.3em 0}.prt{display:none}"
    ".findings{margin:.2em 0;padding-left:1.2em}.findings li.risk{color:#b00}"
    ".findings ol{color:#222}.findings summary{cursor:pointer}"
    ".first{display:grid;grid-template-columns:minmax(0,5fr) minmax(0,6fr);gap:1.2em;"
    "align-items:start}.where{position:sticky;top:0}.where .map{display:block}"
    ".where .map canvas{max-height:62vh}.where .side{max-height:none}"
    ".nomap>h2,.nomap>p,.nomap canvas{display:none}"
    ".map{display:flex;gap:1em;align-items:flex-start}"
    ".map canvas{flex:1 1 0;min-width:0;width:100%;height:auto;max-height:85vh;border:1px solid "
    "#999;background:#fafafa;touch-action:none;cursor:grab}"
    ".side{flex:0 0 22em;max-height:85vh;overflow:auto}"
    "#info{border:1px solid #ccc;padding:.3em .5em;margin-bottom:.5em;overflow-wrap:anywhere}"
    ".key{display:inline-block;width:.8em;height:.8em;border-radius:50%;margin-right:.3em}"
    "details{margin:.2em 0}ol{margin:.2em 0;padding-left:3.5em}"
    "@media (max-width:760px){body{margin:.4em}.first{display:block}.where{position:static}"
    ".lists{overflow-x:auto}"
    ".map{display:block}.map canvas{max-height:none}"
    ".side{max-height:none}td,th{padding:2px 4px}.flagged td:nth-child(2){white-space:normal}}"
    "@media print{#lang,#reset,#sort,.hint,.side{display:none}body{margin:0;font-size:10px}"
    ".more{display:block;border:0;background:none;padding:0;font:inherit}"
    ".more>[data-t]{display:none}.prt{display:inline}"
    // With readiness the map comes first on paper, the lists below it.
    ".first{display:flex;flex-direction:column}.where{position:static;order:-1}"
    ".where .map canvas{max-height:11cm}"
    ".map canvas{flex:none;width:auto;height:auto;max-width:100%;max-height:11cm}"
    "#checks{break-before:page}}";

// The lists' behaviour: the language (the browser's, Chinese unless it is
// English; W holds the words, K the check names' places in it, P and C the
// details' labels), the parts of a long list shown on request, a name
// clicked lights its row and its dot and shows its details, a dot clicked
// lights its rows. It ends inside the function kMapScript closes.
inline constexpr char kPageScript[] =
    "(function(){var d=document,cur='zh';"
    "function words(root){var w=W[cur];root.querySelectorAll('[data-t]').forEach(function(n){"
    "n.textContent=w[+n.getAttribute('data-t')]})}"
    "function lang(l){cur=l;d.documentElement.lang=l=='en'?'en':'zh-CN';words(d)}"
    "var nl=(navigator.languages&&navigator.languages[0])||navigator.language||'';"
    "if(/^en/i.test(nl))lang('en');"
    "d.getElementById('lang').onclick=function(){lang(cur=='zh'?'en':'zh')};"
    "function el(t,x){var n=d.createElement(t);n.textContent=x;return n}"
    "function clear(){d.querySelectorAll('.hl').forEach(function(n){n.classList.remove('hl')})}"
    // The rows of a held-back part t made and put in its place, in the
    // language shown; the list's "show more" counts what is still held
    // back, or goes. has(t,i): the part holds photo i's row.
    "function has(t,i){return t.textContent.indexOf(' data-i='+i+'>')>=0}"
    "function open(t){var l=t.parentNode,b=l.closest('table,ol').nextElementSibling,"
    "x=d.createElement('template');x.innerHTML=t.textContent;words(x.content);"
    "t.replaceWith(x.content);if(!b||!b.classList.contains('more'))return;var n=0;"
    "l.querySelectorAll('.part').forEach(function(p){n+=p.textContent.split(' data-i=').length-1});"
    "if(n)b.querySelector('.left').textContent=n;else b.remove()}"
    // Every row of photo i, the parts that hold one made first (with the
    // parts before them, to keep the order).
    "function rows(i){d.querySelectorAll('.part').forEach(function(t){"
    "if(!t.isConnected||!has(t,i))return;var l=t.parentNode;"
    "while(l.querySelector('.part')!==t)open(l.querySelector('.part'));open(t)});"
    "return d.querySelectorAll('[data-i=\"'+i+'\"]')}"
    // The group of check section s that lists photo i, made or held back.
    "function groupOf(s,i){var li=s.querySelector('li[data-i=\"'+i+'\"]'),g=null;"
    "if(li)return li.closest('details');s.querySelectorAll('.part').forEach(function(t){"
    "if(!g&&has(t,i))g=t.closest('details')});return g}"
    // The details of photo i: its path, each check's value (the group that
    // lists it, else the largest passed one), and its dot's position and time.
    "function show(i){var info=d.getElementById('info');if(!info)return;"
    "var r=d.querySelector('[data-i=\"'+i+'\"]'),c=dotOf(i),w=W[cur];"
    "info.textContent='';if(!r&&!c)return;"
    "info.appendChild(el('b',c?c[4]:(r.querySelector('.n')||r).textContent));"
    "K.forEach(function(k,row){var s=d.getElementById('k'+row),o=s&&s.querySelector('.rest');"
    "if(!s||!s.querySelector('.v'))return;var g=groupOf(s,i),v=g?g.querySelector('.v'):o;"
    "if(v)info.appendChild(el('div',w[k]+': '+v.textContent))});"
    "if(c){info.appendChild(el('div',w[P]+': '+degrees(M.origin[0]+c[5])+', '+"
    "degrees(M.origin[1]+c[6])));"
    "if(c[7])info.appendChild(el('div',w[C]+': '+when(M.origin[2]+c[7]-1)));"
    // With readiness, its flight, line, height, GSD, overlaps, views, pitch
    // and smear (map_data.h), those it has.
    "if(M.rw){var u=function(x,q,t){return x==null?null:x/q+t},"
    "f=[c[8]<0?null:c[8]+1,u(c[12],1,1),u(c[13],10,' m'),u(c[14],100,' cm/px'),"
    "u(c[15],1,'%'),u(c[16],1,'%'),c[17],u(c[18],1,'\\u00b0'),u(c[19],100,' px')];"
    "f.forEach(function(x,k){if(x!=null)info.appendChild(el('div',w[M.rw[k]]+': '+x))})}}}"
    "function degrees(m){var a=Math.abs(m);"
    "return(m<0?'-':'')+Math.floor(a/1e6)+'.'+String(a%1e6).padStart(6,'0')}"
    "function when(n){var s=String(n);return s.slice(0,4)+'-'+s.slice(4,6)+'-'+s.slice(6,8)+' '+"
    "s.slice(8,10)+':'+s.slice(10,12)+':'+s.slice(12)}"
    "var moved=0;"
    "d.addEventListener('click',function(e){var t=e.target,m=t.closest('.more');"
    "if(m){var x=m.previousElementSibling.querySelector('.part');if(x)open(x);return}"
    "if(t===cv){if(moved>6)return;var k=hit(e.clientX,e.clientY);if(k<0)return;clear();pick(k);"
    "var i=M.dots[k][0];rows(i).forEach(function(n){n.classList.add('hl');"
    "var o=n.closest('details');if(o)o.open=true});show(i);return}"
    "var r=t.closest('[data-i]');if(!r)return;var i=+r.getAttribute('data-i');clear();"
    "r.classList.add('hl');show(i);var k=byImage[i];pick(k===undefined?-1:k);"
    "if(k!==undefined)cv.scrollIntoView({block:'nearest'})});"
    // With readiness, the flagged table sorts by flight and capture order
    // (data-o) and back by path (data-i), its held-back rows made first.
    "var sb=d.getElementById('sort');if(sb)sb.onclick=function(){"
    "var t=d.querySelector('table.flagged'),p,by=sb.getAttribute('data-by')=='i'?'o':'i';"
    "while((p=t.querySelector('.part')))open(p);"
    "var rs=[].slice.call(t.querySelectorAll('tr[data-o]')),b=rs.length?rs[0].parentNode:t;"
    "rs.sort(function(x,y){return x.getAttribute('data-'+by)-y.getAttribute('data-'+by)});"
    "rs.forEach(function(r){b.appendChild(r)});sb.setAttribute('data-by',by);"
    "sb.children[0].hidden=by=='o';sb.children[1].hidden=by!='o'};";

#endif  // PHOTOCHECK_PAGE_PAGE_SCRIPT_H
