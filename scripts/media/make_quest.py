#!/usr/bin/env python3
"""Writes the default adventure, data/VellumAdventure.qst.

The story lives here as plain Python data so that every page gets the same
complete, explicit set of keys (an ungated choice says Required "0", a page
without a fight says Battle "0") and the file comes out with CR LF line breaks
in Windows-1252. Edit the story here and re-run; check_quest.py then checks the
result. Needs only Python 3.

Media paths are written relative to the quest file ("media/forest.png").
"""

import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", ".."))
OUT = os.path.join(ROOT, "data", "VellumAdventure.qst")

NUMBER_WORDS = ["One", "Two", "Three", "Four"]

STORY_INFO = {
    "Title": "The Vellum Adventure: The Unwritten Morning",
    "Author": "The Fablecraft team",
    "Version": "1.0",
}

CHARACTER = {
    "CharLoadAllow": "0",
    "CharCreateAllow": "1",
    "CharImage": "media/hero.png",
    "CharName": "Wren",
    "CharHp": "40",
    "CharAtk": "8",
    "CharDef": "4",
}


def opt(caption, dest, score=0, item="", add=False, required=False):
    return dict(caption=caption, dest=str(dest), score=score, item=item, add=add, required=required)


# Every page: location, text, options (at most four) and optional media and
# battle settings. Page names are the decimal numbers used as keys here.
#
# Scoring: the village, the wood and the tower hill can be walked round and
# round, so a choice there scores nothing unless it can be taken only once: a
# key item's gift (hidden once the item is held). From the way down to the
# lake on, nothing leads back, and choices score freely. That keeps every
# ending's score within a fixed range, however long a player wanders.
PAGES = {}


def page(number, location, text, options=(), image="", music="", mp3="", movie="", battle=None):
    assert number not in PAGES, number
    PAGES[number] = dict(location=location, text=" ".join(text.split()), options=list(options),
                         image=image, music=music, mp3=mp3, movie=movie, battle=battle)


page(1, "Corvin's Bindery, Quillmere", """
You wake on the cot behind the sewing frames to the smell of glue and cold ashes. Master Corvin left for the
spring book fair three days ago, and the bindery of Quillmere is yours to mind. Something is wrong. The order
book lies open on the bench where you left it last night, and its pages are blank. Not torn, not smudged: blank,
as if no one had ever written in it. You snatch up a finished almanac, then a psalter, then your own little
notebook of paste recipes. Every one of them is as white as fresh snow. Outside, someone is ringing the meeting
bell, slow and uncertain, the way it is rung when nobody quite knows what has happened.
""", [
    opt("Look around the workshop for answers", 2),
    opt("Hurry out to the village green", 4),
    opt("Pull the blanket over your head. It must be a dream.", 3, -1),
], image="media/bindery.png", music="media/village.mid")

page(2, "The Workshop", """
The workshop is long and low, lit by a window of bottle-glass panes. The presses stand in a row like patient
cattle, and hanks of linen thread hang from the beams. On Master Corvin's desk, under his brass paperweight
shaped like a snail, lies a folded letter with a blue wax seal. By the door an old storm lantern hangs from its
hook, the one Corvin takes when he goes down to the cellar for hides. Every book on every shelf is empty. Even
the gilt titles on the spines have faded to bare leather.
""", [
    opt("Take the storm lantern from its hook", 6, +1, item="Storm Lantern", add=True),
    opt("Read the letter on the master's desk", 5),
    opt("Step outside onto the village green", 4),
], image="media/bindery.png")

page(3, "Under the Blanket", """
You burrow down and squeeze your eyes shut. Sleep comes, thin and restless. You dream of moths, thousands of
them, with wings as black and glossy as wet ink, settling on the roofs of Quillmere and drinking from the
chimneys. When the bell rings again you sit up with a start, heart hammering. The blank order book is still on
the bench. It was not a dream, and you have lost an hour you will want back.
""", [
    opt("Get up and face the day", 2),
], image="media/gloom.png")

page(4, "The Village Green", """
Half of Quillmere stands about the green in nightcaps and aprons, holding books like injured birds. The
schoolmistress turns the pages of her register again and again. The baker is shouting that his recipes are
gone. Even the great signpost at the crossroads has been wiped clean, its four arms pointing nowhere. On its hill
to the north the Lantern Tower stands grey against the sky, and no smoke rises from its chimney. To the east the
dark eaves of the Inkwood begin, and to the south the wheel of Oda's watermill turns slowly in the stream.
""", [
    opt("Visit Oda at the watermill", 8),
    opt("Take the path east into the Inkwood", 10),
    opt("Climb the hill to the Lantern Tower", 16),
    opt("Go back to the bindery", 2),
], image="media/green.png", music="media/village.mid")

page(5, "Master Corvin's Letter", """
The seal is that of Hesper Vane, the archivist who keeps the Lantern Tower, and strangely this letter alone has
kept its ink: the writing is deep blue and faintly shimmers. It is dated four days ago. 'Corvin, old friend. If
the ink should fail, do not wait for word from me. Come up to the tower at once. Someone has been reading the
Vellum who should not, and the First Book of Quillmere does not like greedy eyes. The door key is enclosed.
Bramble in the Inkwood still keeps the silver quill, if it comes to rewriting. Trust no ledger. H.' A small brass
key is stitched to the corner of the page with red thread.
""", [
    opt("Snip the thread and pocket the brass key", 7, +2, item="Brass Key", add=True),
    opt("Fold the letter and go back to the workshop", 2),
], image="media/study.png")

page(6, "Lantern in Hand", """
You lift the lantern down, trim the wick and fill it from the oil jar under the bench. When you strike a light
the flame burns steady and gold, and for a moment the nearest shelf glows as if the titles might come back. They
do not. Still, it feels good to hold something that works as it should. You hang the lantern from your belt.
""", [
    opt("Go back to the workshop", 2),
    opt("Head out to the village green", 4),
], image="media/bindery.png")

page(7, "A Key and a Warning", """
The key is warm, warmer than your hand, and it hums faintly when you hold it near the letter. You read the last
line again. Trust no ledger. Ledgers are for debts and sums. You think of the village clerk, Tobias Fenn, who
keeps the tax rolls and the loan book, and who was nowhere to be seen when the bell was rung this morning.
""", [
    opt("Go back to the workshop", 2),
    opt("Head out to the village green", 4),
], image="media/study.png")

page(8, "The Watermill", """
Oda the miller sits on a flour sack with her account book on her knees, staring at its empty columns. She is
broad and flour-dusted and usually laughing. She is not laughing now. 'Twenty years of accounts,' she says. 'Who
owes me, who I owe. Gone in a night.' She looks up at you. 'I saw something, apprentice, when I was up seeing to
the wheel at midnight. I don't know if I ought to say.'
""", [
    opt("Sit beside her and ask gently what she saw", 9),
    opt("Demand that she tell you what she is hiding", 28),
    opt("Leave her be and return to the green", 4),
], image="media/mill.png")

page(9, "Oda's Tale", """
'Moths,' Oda says. 'A river of black moths, pouring out of the top of the Lantern Tower and down the hill to the
old cave under it. And behind them Tobias Fenn with a lamp, carrying something big and flat under his arm,
wrapped in sacking.' She wipes her eyes with a floury thumb. 'He owes half the village, that one. Owes me for
four winters of flour.' She presses a parcel into your hands. 'Honey cake. You'll not think straight on an empty
stomach. And if you go into the Inkwood, old Bramble is fond of honey.'
""", [
    opt("Accept the honey cake with thanks", 4, +3, item="Honey Cake", add=True),
    opt("Thank her, but leave the cake for her own supper", 4),
], image="media/mill.png")

page(10, "Edge of the Inkwood", """
The Inkwood is older than the village. Its birches have bark that peels like pages, and people say that on a
still day you can read the trees if you know the alphabet of knots. Today the bark is blank too. Along the path
runs a line of black droplets, glossy and round, as if someone had walked here with a leaking inkpot. Through the
branches you can make out the hump of the tower hill. To your right an ancient oak leans over the path, easy to
climb. Farther in, a brook chuckles past the hut where Bramble the hermit lives.
""", [
    opt("Follow the trail of black droplets", 11),
    opt("Climb the old oak for a look around", 12),
    opt("Seek out Bramble's hut by the brook", 13),
    opt("Return to the village green", 4),
], image="media/inkwood.png", music="media/forest.mid")

page(11, "The Ink Trail", """
The droplets lead you through ferns and over a stile, growing larger and closer together. Here and there a
letter lies on the ground, a real letter, a capital R as long as your finger, wriggling weakly like a beetle on
its back. When you touch it, it melts into a smear of ink. The trail climbs the flank of the tower hill and ends
at a low dark opening in the rock, from which comes a breath of cold air and a sound like someone whispering many
names at once.
""", [
    opt("Go on to the mouth of the cave", 20),
    opt("Turn back to the edge of the wood", 10),
], image="media/inkwood.png")

page(12, "The Lookout Oak", """
You climb until the branches thin. From up here you can see all of Quillmere: the green, the mill, the mossy roof
of the bindery. And the Lantern Tower, where a cloud of dark specks circles the topmost window like smoke that
has forgotten how to rise. Lower down, on the hillside under the tower, a black stain spreads from a crack in
the rock. Whatever is happening, it is happening there, above and below. A branch higher up would give you a
better view, but it looks thin.
""", [
    opt("Climb down carefully. The view is enough.", 10),
    opt("Reach for the higher branch", 29),
], image="media/oak.png")

page(13, "Bramble's Hut", """
The hut leans against a rock like a tired old man against a wall. Bramble sits on the step in the sun, a hermit
with a beard you could lose a hen in, sharpening goose feathers with a tiny knife. 'Corvin's apprentice,' he says
without looking up. 'Come about the ink, have you? Everybody's words gone walking.' He points the knife at you.
'I have what you need, and I don't hand it to just anyone. Answer me a riddle and it's yours. Or bribe me. I'm
not proud.'
""", [
    opt("Listen to his riddle", 14),
    opt("Offer him Oda's honey cake", 15, item="Honey Cake", required=True),
    opt("Say goodbye and go back to the path", 10),
], image="media/hut.png")

page(14, "The Riddle", """
Bramble clears his throat grandly. 'I have a spine, but never a bone. I have leaves, but never a branch. I have a
tongue of ink that speaks to you, though I never draw a breath. What am I?' He leans back against the door
post, very pleased with himself, and waits.
""", [
    opt("A tree", 30),
    opt("A book", 15),
    opt("A river", 30),
], image="media/hut.png")

page(15, "The Silver Quill", """
Bramble goes into his hut and comes back with a long flat box of pale wood. Inside, on faded velvet, lies a quill
made of silver, so fine that every barb of the feather is a separate thread of metal. When you lift it, it rings
softly like a struck glass. 'The founders wrote the Vellum with that,' he says. 'Whatever is written with it
stays written. Hesper gave it to me to keep safe from clever people.' He squints at you. 'You don't look clever.
That's a compliment.'
""", [
    opt("Take the Silver Quill", 10, +4, item="Silver Quill", add=True),
    opt("Go back to the edge of the wood", 10),
], image="media/quill.png", mp3="media/chime.wav")

page(16, "Lantern Tower Hill", """
The path winds up through heather to the foot of the Lantern Tower, a round tower of grey stone, five storeys
tall, with one great window at the top where the Vellum lies on its lectern. The iron-bound door is shut. Ivy
climbs the wall beside it to a narrow window two floors up. As you stand there the tower bell begins to toll by
itself, slow and hollow, though no one pulls the rope. A footpath leads down the side of the hill toward a dark
crack in the rock.
""", [
    opt("Unlock the door with the brass key", 17, item="Brass Key", required=True),
    opt("Knock and call for Hesper", 31),
    opt("Climb the ivy to the window", 29),
    opt("Take the path down to the cave in the hillside", 20),
], image="media/tower.png", music="media/tower.mid", mp3="media/bell.mp3")

page(17, "The Tower Hall", """
The inside of the tower is one great hall of shelves rising into shadow, with ladders leaning everywhere:
thousands of volumes that the village has entrusted to the archivist over three hundred years. All of them are
blank. A stone stair winds up the wall toward the lectern room at the top, and a small door beside the hearth
stands ajar: Hesper's study. The hearth is cold. On the floorboards, little black footprints, too small for any
person, run up the stair and back down again.
""", [
    opt("Climb the winding stair to the lectern room", 19),
    opt("Search Hesper's study", 18),
    opt("Leave the tower", 16),
], image="media/hall.png")

page(18, "Hesper's Study", """
The study is a mess. Chairs are overturned, an inkwell lies spilt across the carpet, and the spilt ink has been
walked through, in boots, to the window and back. On the desk lies the village loan book, the one Tobias Fenn
keeps, open and blank like all the rest. But a single page has been cut from it with a knife, and it lies
crumpled in the cold grate, half burnt. Unlike everything else in Quillmere it still has writing on it: a column
of debts in Tobias's cramped hand, and across them, in Hesper's shimmering blue ink, the words Forgiven in full.
""", [
    opt("Smooth out the torn ledger page and keep it", 17, +2, item="Ledger Page", add=True),
    opt("Go back to the hall", 17),
], image="media/study.png")

# The two battle pages lose onto themselves (an empty BattleLose): a beaten hero
# gets up on the page, where its choices (fight again, or give in) stand. They
# are also what a game saved during the fight offers when it is loaded, since
# loading never reopens a fight; a battle page without choices would read as
# the end of the story there.
page(19, "The Lectern Room", """
You climb until your legs ache and come out into the lectern room at the top of the tower. The great window is
broken. The lectern of black oak, where the Vellum has lain for three hundred years, is empty. In its place is a
nest of sacking and torn paper, and from it rises a swarm of moths, black as ink and each as big as your hand,
their wings printed with stolen letters. They wheel once around the room and then come for you, a whirling
wall of wings.
""", [
    opt("Face the swarm", 19),
    opt("Let the moths settle on you", 32),
], image="media/lectern.png", battle=dict(
    BattleEscapecheck="1",
    BattleMonName="Ink-Moth Swarm",
    BattleMonHp="18",
    BattleMonAtk="5",
    BattleMonDef="1",
    BattleImage="media/moths.png",
    BattleMusic="media/battle.mid",
    BattleMonKeyItem="Moth Silk",
    BattleMonExp="10",
    BattleWin="21",
    BattleLose="",
    BattleEscape="17",
    ATKMessage="The moths beat their inky wings in your face!",
    AltAtk="Blinding Dust",
    AltAtkDam="4",
))

page(20, "The Hillside Cave", """
The cave mouth is low and wide, like a mouth. Ink seeps from the rock around it and trickles down into the
heather. From inside comes cold air and a whispering that never quite becomes words. A few steps in, the
daylight gives up and there is only black. Somewhere far below, water drips into water.
""", [
    opt("Feel your way into the dark", 33, -3),
    opt("Climb up to the tower door", 16),
    opt("Go back into the Inkwood", 10),
    opt("Light your lantern and go in", 22, +1, item="Storm Lantern", required=True),
], image="media/cave.png", music="media/cave.mid")

page(21, "The Swarm Scattered", """
The last moth bursts into a puff of grey dust and the room is suddenly quiet. Wind comes through the broken
window and stirs a ribbon of shining moth silk on the floor. Where the nest was you find Hesper's spectacles, one
lens cracked, and a trapdoor you never knew was there. It opens on a smooth stone chute that spirals down into
the heart of the hill, the way the moths must have carried their stolen words. It is pitch dark down there.
""", [
    opt("Light your lantern and slide down the chute", 24, +1, item="Storm Lantern", required=True),
    opt("Go back down the stairs", 17),
], image="media/lectern.png", music="media/tower.mid")

page(22, "The Whispering Tunnel", """
Your lantern throws a small brave circle of light. The tunnel walls are crawling with letters. Thousands of them,
black and shining, creep across the stone in long lines like ants on the march, all heading downward. As you pass
they murmur, and you catch words: a child's name, half a recipe for plum jam, the number of sheep in the
Aldridge flock. The stolen words of Quillmere, all flowing the same way, down toward the sound of water.
""", [
    opt("Stop and read the marching words", 23, +1),
    opt("Press on toward the water", 24),
], image="media/tunnel.png")

page(23, "Words on the Wall", """
You hold the lantern close. Most of the lines are jumbled, but one stream moves more slowly than the rest, heavy
and deliberate, and you can read it: sums of money, names, dates. It is the loan book of Quillmere, word by word.
Everybody's debts, and longest of all, those of Tobias Fenn. So that is where it began. Someone fed the debts to
something that eats words, and the creature, once it had the taste, wanted more. The rest of the village's words
followed, the way water follows a broken dam.
""", [
    opt("Follow the words down to the water", 24),
], image="media/tunnel.png")

page(24, "The Lake of Ink", """
The tunnel opens into a vast cavern. A lake fills it, black and perfectly still, and the words that flow down
the walls slide into it without a ripple. On a shelf of rock by the shore Hesper Vane is tied to a stalagmite,
gagged, her white hair wild. Beside her stands Tobias Fenn, thin and grey-faced, holding a huge book bound in
pale vellum open over the water. He is tearing out a page. Under the surface something vast turns over, and the
lake bulges.
""", [
    opt("Call out to Tobias and try to reason with him", 25),
    opt("Rush to untie Hesper", 27, +1),
    opt("Show Tobias the torn ledger page", 26, +3, item="Ledger Page", required=True),
    opt("Creep back the way you came to fetch help", 34, -2),
], image="media/lake.png", music="media/cave.mid")

page(25, "Words with the Clerk", """
'Stay back!' Tobias cries. 'You don't understand. I only wanted my debts gone. I fed it one page, one little
page, and the numbers vanished. Then it wanted the next page, and the next book, and now it wants the Vellum
itself, and if I don't feed it, it will come up and take it.' His hands shake. 'Better the book than us.' Before
you can answer, the lake heaves. A head rises out of it, long and eyeless, dripping letters.
""", [
    opt("Stand between the creature and Hesper", 27, +1),
], image="media/lake.png")

page(26, "The Torn Page", """
You hold up the page from Hesper's grate so that the lantern shines through it. Tobias reads the blue words across
his debts and goes very still. 'Forgiven,' he whispers. 'She forgave them. Years ago. I never read past the
sums.' The Vellum slips from his hands and you catch it, heavy and warm as a sleeping cat. Tobias stumbles to
Hesper and starts picking at her ropes. Then the lake heaves, and a long eyeless head rises out of it, dripping
letters, turning toward the book in your arms.
""", [
    opt("Clutch the Vellum and face the creature", 27, +2),
], image="media/lake.png")

page(27, "The Blotwyrm", """
The Blotwyrm rises from the lake, coil after coil of liquid night, and the words it has eaten swim inside it like
fish in dark water. It has no eyes, but it knows exactly where you are. There is no way back up the tunnel now:
the marching letters have filled it behind you like a black curtain. The creature opens a mouth lined with broken
capitals, and the cavern fills with the roar of every word of Quillmere spoken at once.
""", [
    opt("Stand and fight", 27),
    opt("Let the ink close over you", 36),
], image="media/lake.png", battle=dict(
    BattleEscapecheck="0",
    BattleMonName="The Blotwyrm",
    BattleMonHp="34",
    BattleMonAtk="7",
    BattleMonDef="2",
    BattleImage="media/wyrm.png",
    BattleMusic="media/boss.mid",
    BattleMonKeyItem="Wyrm Scale",
    BattleMonExp="25",
    BattleWin="35",
    BattleLose="",
    BattleEscape="24",
    ATKMessage="The Blotwyrm lashes you with a tail of dripping letters!",
    AltAtk="Unwriting Roar",
    AltAtkDam="6",
))

page(28, "Oda's Cold Shoulder", """
Oda's face closes like a shutter. 'Hiding something? I've known you since you were knee-high to a sack of barley,
and you speak to me like that?' She stands, tucks her blank book under her arm and stumps into the mill. The door
bangs. Through the window you see her sitting with her back to you. That was not your finest moment.
""", [
    opt("Knock and say you are sorry", 8),
    opt("Walk back to the green", 4),
], image="media/mill.png")

page(29, "A Bruising Fall", """
The branch, or the ivy, or your own foolish confidence, gives way. For a long moment the sky and the ground trade
places, and then the ground wins. You lie in the bracken counting your bones. All present, though several of
them are complaining. By the time you can stand it is past noon, and you have a limp to remember this by.
""", [
    opt("Limp back to the village green", 4),
], image="media/gloom.png")

page(30, "A Wrong Answer", """
Bramble slaps his knee and wheezes with laughter until he has to wipe his eyes on his beard. 'Oh, that's a good
one. No, no, no. Think, apprentice! You of all people. What do you spend all day sewing together?' He waves the
little knife at you. 'Go on, try again. I've got all day, and so, I fear, has the ink.'
""", [
    opt("Try the riddle again", 14),
    opt("Give up and go back to the path", 10),
], image="media/hut.png")

page(31, "No Answer", """
You hammer on the oak and call Hesper's name until your voice cracks. The bell tolls on above you and no one
comes. Then something stirs at the keyhole: a moth crawls out, black and glossy, its wings printed with tiny
letters. It looks at you, if moths can look, and flutters off down the hill toward the cave. The door stays
shut.
""", [
    opt("Step back from the door", 16),
], image="media/tower.png")

page(32, "Lost in the Swarm", """
The moths are everywhere, in your hair, your sleeves, your mouth. They are not trying to hurt you. They are
trying to read you. You feel your own name loosen, and your mother's name, and the way home. When the swarm at
last lifts and streams away down a trapdoor in the floor, you sit alone in the lectern room, perfectly calm and
perfectly blank, and you cannot remember why you came. Somewhere far below, something grows fat on your story.
THE END.
""", image="media/gloom.png", music="media/sorrow.mid")

page(33, "Darkness", """
You shuffle forward with one hand on the wall. The dark is total, and it is not empty. Something brushes your
cheek, something whispers in your ear, and the wall under your fingers begins to crawl. You turn to go back and
find no wall at all. Days later the villagers find your boots at the mouth of the cave, neatly side by side, and
inside each of them a single blank page. THE END.
""", image="media/gloom.png", music="media/sorrow.mid")

page(34, "Too Late", """
You run all the way to the village and back with the blacksmith and the two Aldridge boys behind you, but the
tunnel has closed like a healed wound. That night the last of the words leave Quillmere. In the morning nobody
can remember the names of the streets or the words of the harvest song, and the children learn their letters
from passing pedlars. The Lantern Tower stands empty on its hill, and no one can say what it was for. THE END.
""", image="media/gloom.png", music="media/sorrow.mid")

page(35, "The Wyrm Unwritten", """
With a sound like a library sighing, the Blotwyrm comes apart. It does not die so much as spill: a great wave of
ink that runs back into the lake and lies still, and out of the still water the stolen words begin to rise,
glittering, waiting. On the rock where it fell you pick up the one scale it left behind, black and hard as jet.
Hesper, free at last, limps to your side with the Vellum in her arms. Its pages are blank, its spine still warm,
and a sheaf of leaves hangs loose where Tobias tore at the stitching. 'The words will go home,' she says
hoarsely, 'but only if someone writes the way for them. And it must be written with something that keeps what
it writes.'
""", [
    opt("Write the way home with the Silver Quill", 37, +5, item="Silver Quill", required=True),
    opt("Dip your finger in the ink and write as best you can", 38, +1),
    opt("Cut a pen from the Wyrm Scale and write with it", 40, +3, item="Wyrm Scale", required=True),
    opt("Sew the loose leaves back in with the moth silk", 39, +2, item="Moth Silk", required=True),
], image="media/lake.png", music="media/cave.mid")

page(36, "Swallowed by Ink", """
The Blotwyrm closes over you like deep water. It is not cold, and it does not hurt. You hear every word of
Quillmere at once, the baker's recipes and the children's names and the tax rolls and the love letters, and then
you hear your own story being read aloud in the dark, faster and faster, until it ends. On the green, for a
while, people still remember that there was once an apprentice at the bindery. Then they forget that too.
THE END.
""", image="media/gloom.png", music="media/sorrow.mid")

page(37, "The Written Dawn", """
You set the silver nib to the first blank page of the Vellum and it writes before you have decided what to
write. Quillmere, it writes, and the name of every street and every house and every person, and the words rise
from the lake in a glittering flock and stream up the tunnels toward home. When you climb out into the morning
with Hesper and a very quiet Tobias, the signpost on the green has its arms again, the schoolmistress is calling
the register, and the baker is reading his recipes aloud. Master Corvin comes home two days later to find his
books full and a new name painted on the bindery sign beside his own. Yours. THE END.
""", image="media/dawn.png", music="media/victory.mid", movie="media/dawn.avi")

page(38, "A Half-Remembered Village", """
Your finger is a poor pen, but the ink is willing. You write Quillmere, and what you can remember of its streets
and its people, and the words rise from the lake and drift toward home. Most of them find their way. In the
weeks after, the baker's bread tastes a little odd, the signpost points to a village called Quilmere with one L,
and nobody can quite recall the third verse of the harvest song. But the books are full, Hesper is home, and
Tobias Fenn pays his debts in honest work. It is not a perfect ending. It is a good one. THE END.
""", image="media/green.png", music="media/victory.mid")

page(39, "The Mended Vellum", """
You kneel on the cold rock with the Vellum across your knees, and your hands remember Master Corvin's lessons
before your head does. From the cuff of your sleeve you take the needle every binder keeps there and thread it
with the moth silk, finer than any thread in the bindery and stronger than wire. Kettle stitch by kettle stitch
you sew the torn leaves back where they belong: the silk that carried the words of Quillmere away now holds their
pages fast. When you tie off the last knot the great book gives a long sigh, like a sleeper turning over, and
lies flat and eager in your lap. Hesper watches with her head on one side. 'Corvin taught you well,' she says.
'A whole book keeps its words. Now write.'
""", [
    opt("Write the way home with the Silver Quill", 37, +5, item="Silver Quill", required=True),
    opt("Dip your finger in the ink and write as best you can", 38, +1),
    opt("Cut a pen from the Wyrm Scale and write with it", 40, +3, item="Wyrm Scale", required=True),
], image="media/lake.png")

page(40, "Written in Wyrm Ink", """
You break a sliver from the edge of the scale and grind it to a point on the rock. It drinks from the lake the
way a nib drinks from an inkwell, and when you set it to the Vellum it writes in the Blotwyrm's own ink, which
has never forgotten a word it swallowed. Every word goes home: the streets, the names, the recipes, the harvest
song, down to the last sheep in the Aldridge flock. But every word goes home in the wyrm's hand. Ever after, the
books of Quillmere are lettered in tall, spiky, hungry capitals that lean like fence posts in a gale, and the
children who learn to read from them write that way too. Hesper calls it a new style. Master Corvin, home from
the fair, calls it a scandal, and then, after a week of reading, a masterpiece. THE END.
""", image="media/dawn.png", music="media/victory.mid")


def score_text(n):
    if n > 0:
        return "+%d" % n
    return "%d" % n


def lines():
    out = ["[Story Info]"]
    out += ["%s=%s" % kv for kv in STORY_INFO.items()]
    out += ["", "[Quest Data]", "Number Of Pages=%d" % len(PAGES)]
    out += ["", "[CharacterData]"]
    out += ["%s=%s" % kv for kv in CHARACTER.items()]
    for number in sorted(PAGES):
        p = PAGES[number]
        out += ["", "[%d]" % number, "Location=" + p["location"], "Page Text=" + p["text"]]
        opts = p["options"]
        assert len(opts) <= 4, number
        for i, o in enumerate(opts):
            w = NUMBER_WORDS[i]
            assert len(o["caption"]) <= 60, o["caption"]
            out += [
                "Option %s=%s" % (w, o["caption"]),
                "Option %s Destination Page=%s" % (w, o["dest"]),
                "Option %s Score=%s" % (w, score_text(o["score"])),
            ]
        for i, o in enumerate(opts):
            n = i + 1
            assert not (o["add"] and o["required"]), number
            assert not ((o["add"] or o["required"]) and not o["item"]), number
            out += [
                "Key Item%d=%s" % (n, o["item"]),
                "Add%d=%s" % (n, "1" if o["add"] else "0"),
                "Required%d=%s" % (n, "1" if o["required"] else "0"),
            ]
        b = p["battle"]
        out.append("Battle=%s" % ("1" if b else "0"))
        for key in ("image", "movie", "music", "mp3"):
            if p[key]:
                out.append("%s=%s" % ({"image": "Image", "movie": "Movie", "music": "Music", "mp3": "Mp3"}[key], p[key]))
        if b:
            out += ["%s=%s" % kv for kv in b.items()]
    return out


def main():
    for number, p in PAGES.items():
        if len(p["text"]) > 1000:
            sys.exit("page %d: text is %d characters (at most 1000)" % (number, len(p["text"])))
    data = "\r\n".join(lines()) + "\r\n"
    encoded = data.encode("cp1252")  # fails loudly on a character outside Windows-1252
    os.makedirs(os.path.dirname(OUT), exist_ok=True)
    with open(OUT, "wb") as f:
        f.write(encoded)
    print("wrote %s: %d pages, %d bytes" % (os.path.relpath(OUT, ROOT), len(PAGES), len(encoded)))


if __name__ == "__main__":
    main()
