// The script of the page's map, as a fixed text: it draws the canvas from
// the map's data (map_data.h), zooms (wheel, pinch) and pans (drag) it, puts
// it back (reset), finds the dot under a click or tap, and redraws for the
// window's size and for print. It closes the function kPageScript opens.
#ifndef PHOTOCHECK_PAGE_MAP_SCRIPT_H
#define PHOTOCHECK_PAGE_MAP_SCRIPT_H

// v is the part of the drawing shown (map units), v0 the whole; the drawing
// is fitted into the canvas's box, centred (s: map units per CSS pixel).
// Dot radii are CSS pixels whatever the zoom: passed 4, flagged 8 (a black
// ring when more than one check flagged it), the chosen dot 12.
// cv.pointOf(image) tells where a photo's dot is on the screen, for
// whatever drives the page (the browser test clicks there).
inline constexpr char kMapScript[] =
    "var cv=d.getElementById('m'),md=d.getElementById('mapdata'),M=JSON.parse(md.textContent),"
    "byImage={},sel=-1,v0={x:0,y:0,w:M.w,h:M.h},v=Object.assign({},v0),fixed=null,"
    "FC=M.flightColours||['#999'];"
    // Read once: the block's text (a megabyte at 20,000 photos) leaves the DOM.
    "md.remove();"
    // The coverage raster's cells, unpacked once.
    "var CV=null;if(M.cov){var b=atob(M.cov[6]);CV=new Uint8Array(b.length);"
    "for(var k=0;k<b.length;k++)CV[k]=b.charCodeAt(k)}"
    "M.dots.forEach(function(p,k){byImage[p[0]]=k});"
    "function dotOf(i){var k=byImage[i];return k===undefined?null:M.dots[k]}"
    "function box(){return fixed||cv.getBoundingClientRect()}"
    "function unit(r){return Math.max(v.w/r.width,v.h/r.height)}"
    "function screenOf(r,s,x,y){return[(x-v.x)/s+(r.width-v.w/s)/2,(y-v.y)/s+(r.height-v.h/s)/2]}"
    "function mapOf(cx,cy){var r=box(),s=unit(r);"
    "return{x:v.x+(cx-r.left-(r.width-v.w/s)/2)*s,y:v.y+(cy-r.top-(r.height-v.h/s)/2)*s}}"
    "function first(f){for(var c=0;c<M.colours.length;c++)if(f>>c&1)return c;return-1}"
    "function draw(){var r=box();if(!r.width||!r.height)return;var q=window.devicePixelRatio||1,"
    "W=Math.round(r.width*q),H=Math.round(r.height*q),g=cv.getContext('2d'),s=unit(r),n=0,big=0;"
    "if(cv.width!=W)cv.width=W;if(cv.height!=H)cv.height=H;"
    "g.setTransform(q,0,0,q,0,0);g.clearRect(0,0,r.width,r.height);"
    "function at(x,y){return screenOf(r,s,x,y)}"
    "function path(ps){g.beginPath();ps.forEach(function(p,k){var a=at(p[0],p[1]);"
    "k?g.lineTo(a[0],a[1]):g.moveTo(a[0],a[1])})}"
    // A dot: its fill, then its edge (one path each: Chromium records them
    // and draws twenty thousand in milliseconds).
    "function put(a,rad,fill,edge,width){g.beginPath();g.arc(a[0],a[1],rad,0,7);"
    "if(fill){g.fillStyle=fill;g.fill()}g.strokeStyle=edge;g.lineWidth=width;g.stroke()}"
    // With readiness, the views per ground point first (the coverage
    // raster: red under 5, yellow 5-8, green 9 or more; a gap's cells red).
    "if(CV){var o=M.cov,cw=o[2]/s,ch=o[3]/s,c0=at(o[0],o[1]),sh=0;g.globalAlpha=.3;"
    "for(var y=0;y<o[5];y++)for(var x=0;x<o[4];x++){var cl=CV[y*o[4]+x],m=cl&127;"
    "if(!m&&!(cl&128))continue;sh++;g.fillStyle=m<5?'#d73027':m<9?'#fee08b':'#1a9850';"
    "g.fillRect(c0[0]+x*cw,c0[1]-(y+1)*ch,cw+.5,ch+.5)}g.globalAlpha=1;"
    "cv.setAttribute('data-coverage-cells',sh)}"
    // With readiness, the footprints next, each filled faintly in its
    // flight's colour (where many overlap the colour deepens: the ground
    // seen by more photos), edged where few; counted in data-footprints.
    "var fp=0,few=M.dots.length<=3000;M.dots.forEach(function(p){if(!(p[9]>0))return;"
    "var a=at(p[1],p[2]),h=p[9]/20/s,w=p[10]/20/s,t=p[11]*Math.PI/180,c=Math.cos(t),"
    "e=Math.sin(t),u=[h*e,-h*c],x=[w*c,w*e];fp++;g.beginPath();"
    "g.moveTo(a[0]+u[0]+x[0],a[1]+u[1]+x[1]);g.lineTo(a[0]+u[0]-x[0],a[1]+u[1]-x[1]);"
    "g.lineTo(a[0]-u[0]-x[0],a[1]-u[1]-x[1]);g.lineTo(a[0]-u[0]+x[0],a[1]-u[1]+x[1]);"
    "g.closePath();g.fillStyle=g.strokeStyle=FC[(p[8]%FC.length+FC.length)%FC.length];"
    "g.globalAlpha=.12;g.fill();if(few){g.globalAlpha=.45;g.lineWidth=1;g.stroke()}"
    "g.globalAlpha=1});cv.setAttribute('data-footprints',fp);"
    // The line in capture order, broken at -1 (between lines).
    "g.beginPath();var mv=1;M.track.forEach(function(k){if(k<0){mv=1;return}"
    "var a=at(M.dots[k][1],M.dots[k][2]);mv?g.moveTo(a[0],a[1]):g.lineTo(a[0],a[1]);mv=0});"
    "g.strokeStyle='#bbb';g.lineWidth=1;g.stroke();"
    // Each coverage gap: its cells outlined in red (the edges between a gap
    // cell and one that is not); without the raster, a red dashed box about
    // the photos around it.
    "if(CV){var o=M.cov,cw=o[2]/s,ch=o[3]/s,c0=at(o[0],o[1]);"
    "function gp(r,c){return r>=0&&c>=0&&r<o[5]&&c<o[4]&&CV[r*o[4]+c]&128}"
    "function seg(a,b,e,f){g.moveTo(a,b);g.lineTo(e,f)}g.beginPath();"
    "for(var y=0;y<o[5];y++)for(var x=0;x<o[4];x++){if(!gp(y,x))continue;"
    "var x0=c0[0]+x*cw,y0=c0[1]-(y+1)*ch,x1=x0+cw,y1=y0+ch;"
    "if(!gp(y+1,x))seg(x0,y0,x1,y0);if(!gp(y-1,x))seg(x0,y1,x1,y1);"
    "if(!gp(y,x-1))seg(x0,y0,x0,y1);if(!gp(y,x+1))seg(x1,y0,x1,y1)}"
    "g.strokeStyle='#d00';g.lineWidth=2.5;g.stroke()}else "
    "(M.gaps||[]).forEach(function(q){if(!q.length)return;var l=1e9,tp=1e9,rt=-1e9,bt=-1e9;"
    "q.forEach(function(k){var a=at(M.dots[k][1],M.dots[k][2]);l=Math.min(l,a[0]);"
    "tp=Math.min(tp,a[1]);rt=Math.max(rt,a[0]);bt=Math.max(bt,a[1])});"
    "g.setLineDash([6,4]);g.strokeStyle='#d00';g.lineWidth=2.5;"
    "g.strokeRect(l-10,tp-10,rt-l+20,bt-tp+20);g.setLineDash([])});"
    "cv.setAttribute('data-gaps',(M.gaps||[]).length);"
    // The dots in their order (passed ones first), those on the canvas
    // counted in data-dots (data-flagged-dots: the flagged ones; data-chosen:
    // the image of the chosen dot).
    "M.dots.forEach(function(p){var f=p[3],a=at(p[1],p[2]);"
    "if(a[0]<-12||a[1]<-12||a[0]>r.width+12||a[1]>r.height+12)return;n++;if(f)big++;"
    "if(!f)put(a,4,'#999','#fff',1);else put(a,8,M.colours[first(f)],f&(f-1)?'#000':'#fff',"
    "f&(f-1)?2.5:1)});"
    "if(sel>=0){var p=M.dots[sel];"
    "put(at(p[1],p[2]),12,p[3]?M.colours[first(p[3])]:'#999','#000',4)}"
    // The scale bar (bottom left) and the north arrow (top right).
    "g.strokeStyle=g.fillStyle='#000';g.lineWidth=3;path([[20,M.h-20],[20+M.bar[0],M.h-20]]);"
    "g.stroke();g.font='14px sans-serif';var b=at(20,M.h-20);g.fillText(M.bar[1],b[0],b[1]-8);"
    "path([[970,15],[982,50],[970,42],[958,50]]);g.fill();b=at(964,68);g.fillText('N',b[0],b[1]);"
    "cv.setAttribute('data-dots',n);cv.setAttribute('data-flagged-dots',big);"
    "cv.setAttribute('data-chosen',sel>=0?M.dots[sel][0]:'')}"
    // The dot under a click: the nearest within its radius and a little
    // more (a finger), the later (a flagged one, drawn on top) on a tie.
    "function hit(cx,cy){var s=unit(box()),m=mapOf(cx,cy),best=-1,bd=1e9;"
    "M.dots.forEach(function(p,k){var e=Math.hypot(p[1]-m.x,p[2]-m.y)/s;"
    "if(e<=(p[3]?8:4)+4&&e<=bd){bd=e;best=k}});return best}"
    "function pick(k){sel=k;draw()}"
    "cv.pointOf=function(i){var p=dotOf(i);if(!p)return null;var r=box(),"
    "a=screenOf(r,unit(r),p[1],p[2]);return{x:r.left+a[0],y:r.top+a[1]}};"
    "function zoom(f,x,y){var p=mapOf(x,y),w=Math.min(Math.max(v.w/f,v0.w/1000),v0.w*4);f=v.w/w;"
    "v.x=p.x-(p.x-v.x)/f;v.y=p.y-(p.y-v.y)/f;v.w/=f;v.h/=f;draw()}"
    "cv.addEventListener('wheel',function(e){e.preventDefault();"
    "zoom(Math.exp(-e.deltaY*(e.deltaMode?0.05:0.002)),e.clientX,e.clientY)},{passive:false});"
    "var ps=new Map();"
    "cv.addEventListener('pointerdown',function(e){ps.set(e.pointerId,{x:e.clientX,y:e.clientY});"
    "if(ps.size==1)moved=0});"
    "cv.addEventListener('pointermove',function(e){var o=ps.get(e.pointerId);if(!o)return;"
    "var n={x:e.clientX,y:e.clientY};if(ps.size==1){var s=unit(box());v.x-=(n.x-o.x)*s;"
    "v.y-=(n.y-o.y)*s;moved+=Math.abs(n.x-o.x)+Math.abs(n.y-o.y);draw()}else{"
    "var q;ps.forEach(function(p,k){if(k!=e.pointerId)q=p});"
    "var d0=Math.hypot(o.x-q.x,o.y-q.y),d1=Math.hypot(n.x-q.x,n.y-q.y);moved+=99;"
    "if(d0>0)zoom(d1/d0,(n.x+q.x)/2,(n.y+q.y)/2)}ps.set(e.pointerId,n)});"
    "['pointerup','pointercancel','pointerleave'].forEach(function(k){"
    "cv.addEventListener(k,function(e){ps.delete(e.pointerId)})});"
    "d.getElementById('reset').onclick=function(){v=Object.assign({},v0);draw()};"
    // Print: the whole drawing at its own shape, whatever the screen showed.
    "addEventListener('beforeprint',function(){fixed={left:0,top:0,width:M.w,height:M.h};"
    "var k=v;v=v0;draw();v=k;fixed=null});"
    "addEventListener('afterprint',draw);addEventListener('resize',draw);draw();"
    "})();";

#endif  // PHOTOCHECK_PAGE_MAP_SCRIPT_H
