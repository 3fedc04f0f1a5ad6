// The control window in a browser: it shows the desk's state as GET /api/state and the change
// stream give it, and every control calls the API, which decides as the window would. The
// page only remembers what the window's own controls hold before a command (the text typed,
// the colours and the picture chosen).
'use strict';

const $ = (id) => document.getElementById(id);

const warningTitle = '注意！';
const fileWarningTitle = '注意！！';
const linkLost = '制御プログラムとの接続が切れました。つなぎ直しています…';
const loggedOutText = 'ログインし直して下さい（制御プログラムが起動し直したか、ログインの期限が切れました）。';

// The page's own words for refusals that come before the sign decides anything; the sign's
// refusals carry the window's words themselves.
const refusalWords = {
  wrong_password: 'パスワードが違います。',
  too_many_attempts: 'ログインの失敗が続いたため、しばらくログインできません。時間をおいて、もう一度して下さい。',
  not_logged_in: loggedOutText,
  foreign_origin: 'ほかのサイトのページからの操作は受け付けません。',
  too_large: 'ファイルが大きすぎます（画像は 20 MB まで）。',
  streams_full: '制御プログラムにつながっているページが多すぎます。しばらくしてから、もう一度して下さい。',
  unavailable: '制御プログラムが応答しません。しばらくしてから、もう一度して下さい。',
  internal: '制御プログラムで問題が起きました。もう一度して下さい。',
};
const otherRefusal = '制御プログラムが受け付けませんでした。';

let words = null; // /words.json: colours, speeds, movements, defaults
let state = {}; // the desk's state, part by part
let stream = null;
let lost = false; // the stream is down
let newer = false; // a change arrived while the state was being read
let chooserMode = '';
let chosenPicture = ''; // the bare name of the picture for the next item
const entryColours = { text: '', back: '' };
const urgentColours = { text: '', back: '' };
let shownTip = 0; // the display whose tool tip is shown below the strip

// What a refusal says: the sign's words (Japanese) as they are, else the page's for its code.
function refusalText(error) {
  const text = (error && error.text) || '';
  if (/[^\x00-\x7f]/.test(text)) {
    return text;
  }
  return refusalWords[error && error.code] || otherRefusal;
}

// --- Message boxes, one after another as the window shows them ---------------------------

let boxes = Promise.resolve();

function box(title, text, ask) {
  const dialog = $('msgBox');
  $('msgTitle').textContent = title;
  $('msgText').textContent = text;
  $('msgYes').hidden = !ask;
  $('msgNo').hidden = !ask;
  $('msgOk').hidden = ask;
  dialog.returnValue = '';
  return new Promise((resolve) => {
    dialog.addEventListener('close', () => resolve(dialog.returnValue), { once: true });
    dialog.showModal();
    (ask ? $('msgYes') : $('msgOk')).focus();
  });
}

function tell(messages) {
  for (const message of messages || []) {
    boxes = boxes.then(() => box(message.title || warningTitle, message.text, false));
  }
  return boxes;
}

function ask(title, text) {
  boxes = boxes.then(() => box(title, text, true));
  return boxes.then((answer) => answer === 'yes');
}

// --- Calls ----------------------------------------------------------------------------------

// A command: its warnings shown when it was done, its refusal shown when not. The answer's
// JSON, or null when refused.
async function call(method, path, body, title) {
  const init = { method, headers: {}, credentials: 'same-origin' };
  if (body instanceof Blob) {
    init.body = body;
    init.headers['Content-Type'] = body.type || 'application/octet-stream';
  } else if (body !== undefined) {
    init.body = JSON.stringify(body);
    init.headers['Content-Type'] = 'application/json';
  } else if (method !== 'GET') {
    init.body = ''; // sent with "Content-Length: 0", which the server asks for
  }
  let response;
  try {
    response = await fetch(path, init);
  } catch {
    tell([{ title: warningTitle, text: linkLost }]);
    return null;
  }
  const answer = await response.json().catch(() => ({}));
  if (response.ok) {
    tell(answer.messages);
    return answer;
  }
  if (response.status === 401) {
    loggedOut(loggedOutText);
    return null;
  }
  tell([{ title: title || warningTitle, text: refusalText(answer.error) }]);
  return null;
}

// --- Log-in and the change stream -------------------------------------------------------------

function loggedOut(why) {
  if (stream) {
    stream.close();
    stream = null;
  }
  lost = false;
  for (const dialog of document.querySelectorAll('dialog[open]')) {
    dialog.close();
  }
  $('client').hidden = true;
  $('mnuBar').hidden = true;
  $('cmdLogout').hidden = true;
  $('lblUrgent').hidden = true;
  $('lblLink').hidden = true;
  $('frmLogin').hidden = false;
  $('lblLogin').textContent = why || '';
  $('txtPassword').focus();
}

function loggedIn() {
  $('frmLogin').hidden = true;
  $('lblLogin').textContent = '';
  $('client').hidden = false;
  $('mnuBar').hidden = false;
  $('cmdLogout').hidden = false;
  // At once, not only once the stream is open: with every stream taken the page still shows
  // the sign, and the stream follows when one is free.
  readState();
  connect();
}

async function logIn(event) {
  event.preventDefault();
  const password = $('txtPassword').value;
  let response;
  try {
    response = await fetch('/api/login', {
      method: 'POST',
      headers: { 'Content-Type': 'application/json' },
      body: JSON.stringify({ password }),
    });
  } catch {
    $('lblLogin').textContent = linkLost;
    return;
  }
  if (response.ok) {
    $('txtPassword').value = '';
    loggedIn();
    return;
  }
  const answer = await response.json().catch(() => ({}));
  $('lblLogin').textContent = refusalText(answer.error);
}

// Opens the stream, then reads the whole state; the browser opens it again by itself after a
// break (the program restarted), and the state is read anew each time.
function connect() {
  if (stream) {
    stream.close();
  }
  stream = new EventSource('/api/events');
  stream.addEventListener('open', () => {
    lost = false;
    showLink();
    readState();
  });
  stream.addEventListener('state', (event) => {
    newer = true;
    apply(JSON.parse(event.data));
  });
  stream.addEventListener('announcement', (event) => tell(JSON.parse(event.data).messages));
  stream.addEventListener('error', () => {
    lost = true;
    showLink();
    // Refused rather than broken (a session the restart ended): the browser gives up on it.
    if (stream && stream.readyState === EventSource.CLOSED) {
      retry();
    }
  });
}

async function retry() {
  try {
    const response = await fetch('/api/session');
    if (response.status === 401) {
      loggedOut(loggedOutText);
      return;
    }
  } catch {
    // Not up yet.
  }
  setTimeout(() => stream && stream.readyState === EventSource.CLOSED && connect(), 2000);
}

// Reads again while changes arrived during a read, so that no older state is left in place of
// a change.
async function readState() {
  do {
    newer = false;
    let response;
    try {
      response = await fetch('/api/state');
    } catch {
      return;
    }
    if (response.status === 401) {
      loggedOut(loggedOutText);
      return;
    }
    if (!response.ok) {
      return;
    }
    apply(await response.json());
  } while (newer);
}

// --- What the desk shows -------------------------------------------------------------------

function apply(parts) {
  Object.assign(state, parts);
  if ('list' in parts) showList();
  if ('settings' in parts) showSettings();
  if ('run' in parts) showRun();
  if ('jobWriteProblem' in parts) showJobWrite();
  if ('wall' in parts) showWall();
  if ('urgent' in parts) showUrgent();
  if ('step' in parts) showLink();
  if ('plan' in parts) showPlan();
}

function showLink() {
  const label = $('lblLink');
  const text = lost ? linkLost : state.step ? `制御機で「${state.step}」が開いています。` : '';
  label.textContent = text;
  label.hidden = text === '';
}

// A line stays selected while lines are added or changed; after a removal none is.
function showList() {
  const list = $('List1');
  const items = state.list.items;
  const before = list.options.length;
  const selected = list.selectedIndex;
  list.replaceChildren(...items.map((item) => new Option(item.description, item.line)));
  list.selectedIndex = items.length < before ? -1 : Math.min(selected, items.length - 1);
}

function fillChoices(select, choices, value) {
  const texts = choices.includes(value) || value === undefined ? choices : [...choices, value];
  if ([...select.options].map((o) => o.value).join('\n') !== texts.join('\n')) {
    select.replaceChildren(...texts.map((text) => new Option(text, text)));
  }
  select.value = value;
}

function showSettings() {
  const settings = state.settings;
  fillChoices($('ComboTSpeed'), words.speeds, settings.speed);
  fillChoices($('ComboTMove'), words.movements, settings.movement);
  $('Check1Box').checked = settings.repeat;
}

function showRun() {
  const run = state.run;
  $('lblDisplay').hidden = !run.showingVisible;
  $('lblCon').textContent = run.computerCaption;
  $('lblNum').textContent = run.lineCaption;
  $('lblNum').classList.toggle('stopped', run.starterStopped);
}

function showJobWrite() {
  const label = $('lblJobWrite');
  label.textContent = state.jobWriteProblem;
  label.hidden = !state.jobWriteProblem;
}

// Display 16 at the left, display 1 at the right, as the screens stand.
function showWall() {
  const strip = $('staWall');
  if (strip.children.length === 0) {
    for (let n = 16; n >= 1; n--) {
      const cell = document.createElement('li');
      cell.id = `lblWall${n}`;
      cell.tabIndex = 0;
      const showTip = () => {
        shownTip = n;
        showWallTip();
      };
      cell.addEventListener('focus', showTip);
      cell.addEventListener('click', showTip);
      strip.append(cell);
    }
  }
  for (const shown of state.wall) {
    const cell = $(`lblWall${shown.display}`);
    cell.textContent = shown.text;
    cell.title = shown.tip;
    cell.style.backgroundColor = shown.back;
    cell.style.color = shown.ink;
  }
  showWallTip();
}

function showWallTip() {
  const shown = state.wall && state.wall.find((cell) => cell.display === shownTip);
  $('lblWallTip').textContent = shown ? shown.tip : '';
}

// "1-3, 5": the displays as the window's corner line names them.
function displayRanges(displays) {
  const parts = [];
  for (let i = 0; i < displays.length; ) {
    let j = i;
    while (j + 1 < displays.length && displays[j + 1] === displays[j] + 1) j++;
    parts.push(j > i ? `${displays[i]}-${displays[j]}` : `${displays[i]}`);
    i = j + 1;
  }
  return parts.join(', ');
}

function showUrgent() {
  const message = state.urgent;
  const label = $('lblUrgent');
  label.hidden = !message;
  $('mnuUrgentEnd').disabled = !message;
  $('cmdUrgentEnd').disabled = !message;
  $('lblUrgentReach').textContent = message ? message.reach : '';
  if (!message) {
    return;
  }
  const two = (n) => String(n).padStart(2, '0');
  const until = message.endsAt ? new Date(message.endsAt) : null;
  const caption = until
    ? `緊急表示中：${two(until.getHours())}:${two(until.getMinutes())} まで`
    : '緊急表示中：終わらせるまで';
  let shown = '表示なし';
  if (message.showing.length > 0) {
    shown = `${displayRanges(message.showing)} が表示`;
  } else if (message.unconfirmed.length > 0 || message.waiting.length > 0) {
    shown = '未確認';
  }
  label.textContent = ` ${caption}（${shown}） `;
  label.title = `${message.text}\n${message.reach}`;
}

// "予定に従う" and the window's corner line: what the plan did, what holds, what comes next.
function showPlan() {
  const plan = state.plan;
  $('mnuPlanFollow').setAttribute('aria-checked', String(plan.follow));
  const label = $('lblPlan');
  label.textContent = plan.notice ? ` ${plan.notice} ` : '';
  label.title = plan.notice;
  label.hidden = !plan.follow || !plan.notice;
}

// "週の予定": the plan's entries, and its file's text to edit; the program checks and saves it.
async function openPlan() {
  const plan = await call('GET', '/api/plan');
  if (!plan) return;
  $('lstPlanLines').replaceChildren(
    ...plan.lines.map((line) => {
      const item = document.createElement('li');
      item.textContent = line;
      return item;
    }),
  );
  $('txtPlan').value = plan.text || 'lmsign-plan 1\n\n[otherwise]\nblank\n';
  const dialog = $('frmPlan');
  if (!dialog.open) dialog.showModal();
  $('txtPlan').focus();
}

async function savePlan() {
  const text = $('txtPlan').value;
  if (await call('PUT', '/api/plan/text', { text }, $('lblPlanTitle').textContent)) {
    openPlan();
  }
}

// --- The entry controls ---------------------------------------------------------------------

// Sixteen swatches, each with its colour word beside it, as radio buttons.
function buildSwatches(group, chosen) {
  const container = $(group);
  for (const colour of words.colours) {
    const label = document.createElement('label');
    label.className = 'swatch';
    const radio = document.createElement('input');
    radio.type = 'radio';
    radio.name = group;
    radio.value = colour.word;
    const chip = document.createElement('span');
    chip.className = 'chip';
    chip.style.backgroundColor = colour.rgb;
    const word = document.createElement('span');
    word.className = 'word';
    word.textContent = colour.word;
    label.append(radio, chip, word);
    container.append(label);
    radio.addEventListener('change', () => {
      if (radio.checked) chosen(colour.word);
    });
  }
}

function showColour(group, word) {
  for (const radio of document.getElementsByName(group)) {
    radio.checked = radio.value === word;
  }
}

function setEntryColour(which, word) {
  entryColours[which] = word;
  showColour(which === 'text' ? 'ComboTForeColor' : 'ComboTBackColor', word);
}

function setUrgentColour(which, word) {
  urgentColours[which] = word;
  showColour(which === 'text' ? 'ComboUForeColor' : 'ComboUBackColor', word);
}

function clearPicture() {
  chosenPicture = '';
  $('lblInput').textContent = 'ここをクリックして画像ファイルを選択';
  $('lblInput').classList.remove('chosen');
}

function choosePicture(name) {
  $('Text1').value = '';
  chosenPicture = name;
  $('lblInput').textContent = name;
  $('lblInput').classList.add('chosen');
}

async function addItem() {
  const entry = {
    text: $('Text1').value,
    movement: $('ComboTMove').value,
    textColour: entryColours.text,
    backColour: entryColours.back,
    speed: $('ComboTSpeed').value,
  };
  if (chosenPicture) {
    entry.picture = chosenPicture;
  }
  if (await call('POST', '/api/list', entry)) {
    clearPicture();
    $('Text1').value = '';
  }
}

function selectedLine() {
  return $('List1').selectedIndex + 1;
}

// A line selected: its values in the entry controls, and its speed (and a text's movement)
// as the show's settings, as the window's list does.
function lineChosen() {
  const item = state.list.items[selectedLine() - 1];
  if (!item) {
    return;
  }
  const settings = {};
  if (item.kind === '文字') {
    $('Text1').value = item.text;
    setEntryColour('text', item.textColour);
    setEntryColour('back', item.backColour);
    clearPicture();
    settings.movement = item.movement;
    settings.speed = item.speed;
  } else if (item.kind === '画像') {
    setEntryColour('back', item.backColour);
    if (item.picture) {
      choosePicture(item.picture.split(/[\\/]/).pop());
    } else {
      clearPicture();
    }
    settings.speed = item.speed;
  }
  if (Object.entries(settings).some(([key, value]) => state.settings[key] !== value)) {
    call('PUT', '/api/show/settings', settings);
  }
}

async function deleteLine() {
  const line = selectedLine();
  if (line === 0) {
    return;
  }
  if (await call('DELETE', `/api/list/${line}`)) {
    $('Text1').value = '';
    clearPicture();
  }
}

// --- The chooser: show files in the show folder, pictures in the data folder -----------------

async function openChooser(mode) {
  const listing = await call('GET', mode === 'picture' ? '/api/pictures' : '/api/shows');
  if (!listing) {
    return;
  }
  chooserMode = mode;
  const names = mode === 'picture' ? listing.pictures.map((p) => p.name) : listing.shows;
  const dialog = $('frmFileLoad');
  dialog.className = mode;
  const title = { load: 'lblModeLoad', save: 'lblModeSave', picture: 'lblModePicture' }[mode];
  $('lblFileMessage').textContent = $(title).textContent;
  $('lstFiles').replaceChildren(...names.map((name) => new Option(name, name)));
  $('txtFileName').value = '';
  $('fraUpload').hidden = mode !== 'picture';
  $('filUpload').value = '';
  dialog.returnValue = '';
  dialog.showModal();
}

async function chooserClosed() {
  const name = $('txtFileName').value;
  if ($('frmFileLoad').returnValue !== 'ok') {
    return;
  }
  if (chooserMode === 'picture') {
    if (name) choosePicture(name);
    return;
  }
  const path = chooserMode === 'load' ? '/api/shows/load' : '/api/shows/save';
  if ((await call('POST', path, { name }, fileWarningTitle)) && chooserMode === 'load') {
    clearPicture();
  }
}

async function upload() {
  const file = $('filUpload').files[0];
  if (!file) {
    return;
  }
  const stored = await call('PUT', `/api/pictures/${encodeURIComponent(file.name)}`, file);
  if (stored) {
    $('lstFiles').append(new Option(stored.name, stored.name));
    $('lstFiles').value = stored.name;
    $('txtFileName').value = stored.name;
  }
}

// --- Menus ----------------------------------------------------------------------------------

function closeMenus(except) {
  for (const menu of document.querySelectorAll('details.menu')) {
    if (menu !== except) menu.open = false;
  }
}

function menuItem(id, action) {
  $(id).addEventListener('click', () => {
    closeMenus(null);
    action();
  });
}

function openUrgent() {
  const dialog = $('frmUrgent');
  if (!dialog.open) dialog.show();
  $('txtUrgent').focus();
}

async function endDisplays() {
  if (await ask($('lblEndTitle').textContent, $('lblEndAsk').textContent)) {
    call('POST', '/api/displays/end', { confirm: true });
  }
}

// --- Start --------------------------------------------------------------------------------

function wire() {
  $('frmLogin').addEventListener('submit', logIn);
  $('cmdLogout').addEventListener('click', async () => {
    await call('POST', '/api/logout');
    loggedOut('');
  });

  $('Text1').addEventListener('input', clearPicture);
  $('cmdTextClear').addEventListener('click', () => {
    $('Text1').value = '';
    clearPicture();
  });
  $('cmdClear').addEventListener('click', clearPicture);
  $('lblInput').addEventListener('click', () => openChooser('picture'));
  $('cmdText').addEventListener('click', addItem);
  buildSwatches('ComboTForeColor', (word) => (entryColours.text = word));
  buildSwatches('ComboTBackColor', (word) => (entryColours.back = word));
  setEntryColour('text', words.entry.textColour);
  setEntryColour('back', words.entry.backColour);

  $('List1').addEventListener('change', lineChosen);
  $('cmdDelete').addEventListener('click', deleteLine);
  $('cmdAllClear').addEventListener('click', () => call('DELETE', '/api/list'));
  $('cmdFileLoad').addEventListener('click', () => openChooser('load'));
  $('cmdFileSave').addEventListener('click', () => openChooser('save'));

  $('ComboTSpeed').addEventListener('change', (e) =>
    call('PUT', '/api/show/settings', { speed: e.target.value }),
  );
  $('ComboTMove').addEventListener('change', (e) =>
    call('PUT', '/api/show/settings', { movement: e.target.value }),
  );
  $('Check1Box').addEventListener('change', (e) =>
    call('PUT', '/api/show/settings', { repeat: e.target.checked }),
  );
  $('cmdDisplay').addEventListener('click', () => call('POST', '/api/show/start'));
  $('cmdStop').addEventListener('click', () => call('POST', '/api/show/stop'));

  $('lstFiles').addEventListener('change', (e) => ($('txtFileName').value = e.target.value));
  $('lstFiles').addEventListener('dblclick', () => $('cmdFileOk').click());
  $('filUpload').addEventListener('change', upload);
  $('frmFileLoad').addEventListener('close', chooserClosed);

  for (const menu of document.querySelectorAll('details.menu')) {
    menu.addEventListener('toggle', () => menu.open && closeMenus(menu));
  }
  document.addEventListener('keydown', (e) => e.key === 'Escape' && closeMenus(null));
  document.addEventListener('click', (e) => !e.target.closest('details.menu') && closeMenus(null));
  menuItem('mnuFileLoad', () => openChooser('load'));
  menuItem('mnuFileSave', () => openChooser('save'));
  menuItem('mnuLMEnd', endDisplays);
  menuItem('mnuUrgentSay', openUrgent);
  menuItem('mnuUrgentEnd', () => call('DELETE', '/api/urgent'));
  menuItem('mnuPlan', openPlan);
  $('cmdPlanSave').addEventListener('click', savePlan);
  $('cmdPlanClose').addEventListener('click', () => $('frmPlan').close());
  menuItem('mnuPlanFollow', () =>
    call('PUT', '/api/plan', { follow: !(state.plan && state.plan.follow) }),
  );

  buildSwatches('ComboUForeColor', (word) => (urgentColours.text = word));
  buildSwatches('ComboUBackColor', (word) => (urgentColours.back = word));
  setUrgentColour('text', words.urgent.textColour);
  setUrgentColour('back', words.urgent.backColour);
  $('cmdUrgentSend').addEventListener('click', () =>
    call('POST', '/api/urgent', {
      text: $('txtUrgent').value,
      textColour: urgentColours.text,
      backColour: urgentColours.back,
      minutes: Number($('ComboUTime').value),
    }),
  );
  $('cmdUrgentEnd').addEventListener('click', () => call('DELETE', '/api/urgent'));
  $('cmdUrgentClose').addEventListener('click', () => $('frmUrgent').close());
}

async function start() {
  try {
    words = await (await fetch('/words.json')).json();
  } catch {
    $('lblLink').textContent = linkLost;
    $('lblLink').hidden = false;
    setTimeout(start, 2000);
    return;
  }
  wire();
  let response = null;
  try {
    response = await fetch('/api/session');
  } catch {
    // Shown as not logged in; the log-in says what is wrong.
  }
  if (response && response.ok) {
    loggedIn();
  } else {
    loggedOut('');
  }
}

start();
